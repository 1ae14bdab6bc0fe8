// Asynchronous HTTP requests whose completions arrive as messages on the event loop.
#pragma once

#include "platform/event_loop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

struct HttpResponse {
    bool completed = false; // an answer arrived (of any status)
    long status = 0;        // the HTTP status of that answer
    std::string body;
    std::string contentType; // the answer's Content-Type, as sent
    std::string error;       // why there is no answer ("Could not connect to server", ...)

    // A complete answer with a 2xx status.
    bool ok() const { return completed && status >= 200 && status < 300; }
};

// One client handles its requests one at a time, in the order they were started, on a worker
// thread of its own; each completion runs on the loop's thread (like every loop callback it
// must not let an exception out: report it there). Destroying the client cancels
// what is pending: no completion runs after that.
class HttpClient {
public:
    using Done = std::function<void(const HttpResponse&)>;

    explicit HttpClient(EventLoop& loop);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void get(std::string url, Done done);
    // POSTs one file as multipart/form-data with the fixed boundary the web service expects:
    // the part names the field and the file's full local path, its type is
    // "application/upload". A file that cannot be read completes with an error, unsent.
    void postFile(std::string url, std::string fieldName, std::filesystem::path file, Done done);

    // A GET that blocks its caller until the answer is in (or `timeout` has passed): for
    // transport threads that forward a request, never for the loop's thread.
    static HttpResponse getNow(const std::string& url, std::chrono::seconds timeout);

    // A request is running or waiting.
    bool busy() const;
    // Abandons the running and waiting requests; their completions do not run.
    void cancel();

    // The multipart body postFile sends (exposed for tests).
    static std::string multipartBody(const std::string& fieldName, const std::string& path,
                                     const std::string& content);
    static const std::string kBoundary;

private:
    struct Request {
        std::string url;
        bool post = false;
        std::string body;
        std::string error; // set when the request cannot be made at all
        Done done;
        std::uint64_t generation;
    };
    void enqueue(Request request);
    void work();
    HttpResponse perform(const Request& request);

    EventLoop& m_loop;
    std::shared_ptr<bool> m_alive; // read on the loop thread only
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_queue;
    int m_running = 0;
    std::uint64_t m_generation = 0; // cancel() moves it on; older requests are abandoned
    bool m_stop = false;
    std::thread m_worker;
};

} // namespace platform
