// Starting and asking the fake web service.
#include "support/fake_service.h"

#include "support/child_process.h"

#include <csignal>
#include <curl/curl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

FakeService::FakeService(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"/usr/bin/python3",
                                     std::string(VELLUMITE_TESTS_DIR) + "/support/fake_service.py"};
    args.insert(args.end(), options.begin(), options.end());
    Child child = startChild(args);
    m_pid = child.pid;
    m_out = child.output;
    const std::string line = readLine(child);
    if (line.rfind("PORT ", 0) != 0)
        throw std::runtime_error("the fake service did not start: " + line);
    m_url = "http://127.0.0.1:" + line.substr(5);
}

FakeService::~FakeService() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
}

nlohmann::json FakeService::requests() const {
    return nlohmann::json::parse(httpGet(m_url + "/__requests"));
}

namespace {
size_t append(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}
} // namespace

std::string httpGet(const std::string& url) {
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK)
        throw std::runtime_error(std::string("cannot get ") + url + ": " + curl_easy_strerror(rc));
    return body;
}

} // namespace testing_support
