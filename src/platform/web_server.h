// The server-thread half of the web host: HTTP threads that check each request, serve files and
// hand page commands and events to the logic thread. They never touch program state.
#pragma once

#include "platform/event_loop.h"
#include "platform/local_server.h"
#include "platform/web_host.h"
#include "platform/web_requests.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct WebHost::Channel {
    std::uint64_t id = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> lines;
    bool closed = false;

    void push(std::string line) {
        {
            std::lock_guard lock(mutex);
            if (closed)
                return;
            lines.push_back(std::move(line));
        }
        wake.notify_all();
    }
    void close() {
        {
            std::lock_guard lock(mutex);
            closed = true;
        }
        wake.notify_all();
    }
};

// A navigation waiting on the logic thread's before-navigate decision.
struct Decision {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<bool> cancel;

    void set(bool value) {
        {
            std::lock_guard lock(mutex);
            if (cancel)
                return;
            cancel = value;
        }
        wake.notify_all();
    }
};

class ServerState {
public:
    ServerState(EventLoop& loop, WebHost& host, std::shared_ptr<bool> alive,
                const WebHostOptions& options);

    EventLoop& loop;
    WebHost* host; // used only in messages posted to the loop, after checking `alive`
    std::shared_ptr<bool> alive;
    const std::string token;
    const std::filesystem::path appFolder;
    const std::filesystem::path shellFolder;
    const std::vector<std::string> servedFolders;
    const std::filesystem::path previewFolder; // never served here: see appFile()
    std::atomic<int> port{0};
    std::atomic<bool> stopping{false};
    LocalServer server;
    std::atomic<std::uint64_t> nextChannel{1};

    std::mutex channelsMutex;
    std::vector<std::shared_ptr<WebHost::Channel>> channels;
    std::vector<std::weak_ptr<Decision>> decisions; // navigations waiting for the logic

    // Runs `work` on the loop thread while the host lives.
    void toLoop(std::function<void(WebHost&)> work);

    // Sets the routes, headers and checks; call before start().
    void install();
    // Ends every wait of the HTTP threads: channels close, waiting navigations are cancelled.
    void endWaits();

private:
    void refuse(httplib::Response& res, int status, const std::string& why);
    void notFound(httplib::Response& res);
    void serveFile(httplib::Response& res, const std::filesystem::path& file);
    // The file of the app folder named by a relative path, when pages may load it.
    std::optional<std::filesystem::path> appFile(const std::string& relative) const;

    void route(const httplib::Request& req, httplib::Response& res, const web::Verdict& verdict);
    void handlePane(httplib::Response& res, const web::Verdict& verdict);
    void handleChannel(httplib::Response& res);
    void handleEventPost(const httplib::Request& req, httplib::Response& res);
    void handlePick(const httplib::Request& req, httplib::Response& res,
                    const httplib::ContentReader& content);
};

} // namespace platform
