// HttpClient over libcurl: one worker thread per client, completions posted to the loop.
#include "platform/http_client.h"

#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>

namespace platform {

const std::string HttpClient::kBoundary = "---------------------------0123456789012";

namespace {

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

void ensureCurl() {
    static CurlGlobal once; // curl_global_init is not thread-safe; do it once, first
}

size_t appendBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

struct ProgressState {
    const std::mutex* mutex;
    const std::uint64_t* generation;
    std::uint64_t mine;
    const bool* stop;
};

int checkCancelled(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* s = static_cast<ProgressState*>(p);
    std::lock_guard lock(*const_cast<std::mutex*>(s->mutex));
    return (*s->generation != s->mine || *s->stop) ? 1 : 0;
}

size_t keepContentType(char* data, size_t size, size_t count, void* target) {
    std::string_view line(data, size * count);
    constexpr std::string_view name = "content-type:";
    if (line.size() > name.size()) {
        std::string head(line.substr(0, name.size()));
        for (auto& c : head)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head == name) {
            std::string_view value = line.substr(name.size());
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
                value.remove_suffix(1);
            *static_cast<std::string*>(target) = value;
        }
    }
    return size * count;
}

// One request on the calling thread. `progress` (may be null) lets a client abandon it.
HttpResponse performRequest(const std::string& url, bool post, const std::string& body,
                            long timeoutSeconds, ProgressState* progress) {
    HttpResponse response;
    CURL* curl = curl_easy_init();
    if (!curl) {
        response.error = "cannot start an HTTP request";
        return response;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, std::min(30L, timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, keepContentType);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.contentType);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    if (progress) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkCancelled);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, progress);
    }
    if (post) {
        headers = curl_slist_append(
            headers,
            ("Content-Type: multipart/form-data; boundary=" + HttpClient::kBoundary).c_str());
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OK) {
        response.completed = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    } else {
        response.error = errorText[0] ? errorText : curl_easy_strerror(rc);
        response.body.clear();
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return response;
}

} // namespace

HttpClient::HttpClient(EventLoop& loop) : m_loop(loop), m_alive(std::make_shared<bool>(true)) {
    ensureCurl();
    m_worker = std::thread([this] { work(); });
}

HttpClient::~HttpClient() {
    *m_alive = false;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        ++m_generation;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

std::string HttpClient::multipartBody(const std::string& fieldName, const std::string& path,
                                      const std::string& content) {
    std::string body;
    body += "--" + kBoundary + "\r\n";
    body +=
        "Content-Disposition: form-data; name=\"" + fieldName + "\"; filename=\"" + path + "\"\r\n";
    body += "Content-Type: application/upload\r\n\r\n";
    body += content;
    body += "\r\n--" + kBoundary + "--\r\n";
    return body;
}

void HttpClient::get(std::string url, Done done) {
    Request r;
    r.url = std::move(url);
    r.done = std::move(done);
    enqueue(std::move(r));
}

void HttpClient::postFile(std::string url, std::string fieldName, std::filesystem::path file,
                          Done done) {
    Request r;
    r.url = std::move(url);
    r.post = true;
    r.done = std::move(done);
    try {
        r.body = multipartBody(fieldName, file.string(), files::readFile(file));
    } catch (const std::system_error& e) {
        r.error = e.what();
    }
    enqueue(std::move(r));
}

void HttpClient::enqueue(Request request) {
    {
        std::lock_guard lock(m_mutex);
        request.generation = m_generation;
        m_queue.push_back(std::move(request));
    }
    m_wake.notify_all();
}

bool HttpClient::busy() const {
    std::lock_guard lock(m_mutex);
    return m_running > 0 || !m_queue.empty();
}

void HttpClient::cancel() {
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_queue.clear();
}

void HttpClient::work() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            request = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_running;
        }
        HttpResponse response = perform(request);
        bool current;
        {
            std::lock_guard lock(m_mutex);
            --m_running;
            current = request.generation == m_generation && !m_stop;
        }
        if (!current)
            continue;
        // The completion runs on the loop thread, and only while the client still exists.
        m_loop.post([alive = std::weak_ptr<bool>(m_alive), done = std::move(request.done),
                     response = std::move(response), this, gen = request.generation] {
            auto flag = alive.lock();
            if (!flag || !*flag)
                return;
            {
                std::lock_guard lock(m_mutex);
                if (gen != m_generation)
                    return; // cancelled after it finished
            }
            if (done)
                done(response);
        });
    }
}

HttpResponse HttpClient::perform(const Request& request) {
    if (!request.error.empty()) {
        HttpResponse response;
        response.error = request.error;
        return response;
    }
    ProgressState progress{&m_mutex, &m_generation, request.generation, &m_stop};
    return performRequest(request.url, request.post, request.body, 120, &progress);
}

HttpResponse HttpClient::getNow(const std::string& url, std::chrono::seconds timeout) {
    ensureCurl();
    return performRequest(url, false, {}, timeout.count(), nullptr);
}

} // namespace platform
