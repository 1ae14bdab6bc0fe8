// The Host shown in the user's web browser: a local HTTP server, the shell page and its channel.
#pragma once

#include "platform/event_loop.h"
#include "platform/host.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform {

struct WebHostOptions {
    std::filesystem::path appFolder;   // pages are served from here, names matched without case
    std::filesystem::path shellFolder; // shell.html, shell.js, shell.css
    int port = 0;                      // 0: a free port
    std::vector<std::string> paneNames;
    std::string caption;
    std::string messageTitle; // the title of the host's own messages (failures of the page)
    // Top-level folders of the app folder that pages may load from (never the databases).
    std::vector<std::string> servedFolders = {"html", "templates", "external"};
    // The page answers every read within a few seconds, even behind a page that is loading
    // (it gives up on a load after two); longer means it is gone.
    std::chrono::milliseconds readTimeout{5'000};
    // How long waitUntilNotBusy waits when its caller names no limit: the page reports every
    // navigation finished, loaded or not, within a few seconds.
    std::chrono::milliseconds busyTimeout{5'000};
    // Pages of this folder are previewed from a sandbox origin (sandbox_origin.h); none when
    // empty.
    std::filesystem::path previewFolder;
};

class ServerState; // what the HTTP threads share; see web_server.h
class SandboxOrigin;

// Security of the server: listens on 127.0.0.1 only; every path begins /s/<token>/ with a
// random 256-bit token (compared in constant time); the Host header must name this server;
// page commands and pane pages only from our own pages (Sec-Fetch-Site: same-origin, else a
// Referer of our origin), never for prefetches; the channel and every POST need our Origin;
// no CORS headers; every response carries a strict CSP, nosniff, no-referrer and no-store;
// previews of generated sites come from another origin with a secret of its own, sandboxed
// into an opaque origin (sandbox_origin.h). The port is never shared, and slow or idle
// connections cannot hold the pages (local_server.h).
//
// The page operations and events, their order and their sequence numbers are described at the
// top of shell.js. A pane is busy from a navigation until the page reports it finished (shown,
// superseded or failed); without a connected page nothing is loading, so nothing is busy, and a
// page that connects loads every pane anew. A click on a page command reaches the logic as an
// event on the same ordered stream as the answers to questions, so an answer is always handled
// before a command clicked after it.
//
// Without a connected shell page, the window's state (caption, pane order, what each pane and
// frame shows, open forms and dialogs) is kept and drawn when a page connects; document writes
// are dropped (the page they were for is gone) and reads fail with DomError.
//
// Threads: the server's threads only parse, check and serve files; everything that touches
// program state is posted to the loop, and they wait for the answer when the page needs one.
class WebHost : public Host {
public:
    WebHost(EventLoop& loop, WebHostOptions options);
    ~WebHost() override;

    // Binds 127.0.0.1 and starts serving. Throws std::system_error "cannot listen on ..." with
    // the errno (EADDRINUSE: the port is taken).
    void start();
    void stop();
    int port() const;
    // The address of the shell page, token included.
    std::string address() const;
    std::string origin() const;
    // A shell page is connected now.
    bool browserAttached() const { return static_cast<bool>(m_channel); }
    // Called once when the last shell page went away and none came back within `grace`
    // (the user closed the window).
    void onAllPagesClosed(std::function<void()> handler, std::chrono::milliseconds grace);

    void setCaption(std::string caption) override;
    std::string caption() const override { return m_caption; }
    MsgResult msgBox(std::string_view text, std::string_view title, MsgButtons buttons) override;
    std::optional<std::string> inputBox(std::string_view prompt, std::string_view title,
                                        std::string_view initial) override;
    std::optional<std::string> passwordBox(std::string_view prompt,
                                           std::string_view title) override;
    std::optional<std::filesystem::path> openFileDialog(std::string_view title,
                                                        std::string_view filter) override;
    void openWindow(const std::string& address, const std::string& windowName) override;
    std::string previewAddress(std::string_view relativeOutputPath) const override;

    void navigate(const DocPath& where, const std::string& address) override;
    std::string location(const DocPath& where) const override;
    void setPaneOrder(const std::string& pane, bool front) override;
    bool busy(const std::string& pane) const override;
    bool waitUntilNotBusy(const std::string& pane,
                          std::optional<std::chrono::milliseconds> timeout) override;
    nlohmann::json dom(const DocPath& where, std::string_view op, nlohmann::json args,
                       bool read) override;

    // For the server threads (posted to the loop): a channel opened or closed, an event.
    struct Channel;
    void attachChannel(const std::shared_ptr<Channel>& channel);
    void detachChannel(const std::shared_ptr<Channel>& channel);
    void handleEvent(const nlohmann::json& event);
    // A file chosen in a form arrived (see ServerState::handlePick).
    void handlePick(std::uint64_t channel, const std::string& form, const std::string& control,
                    std::unique_ptr<PickedFile> file);
    // Shows what went wrong in work that came from the page (a handler's exception).
    void reportFailure(const std::string& description);
    bool handleNavigation(const std::string& pane, const std::string& address,
                          const std::function<void(bool)>& decided);

    // Maps an address the logic names (a file of the app folder, "about:blank", a web
    // address) to the URL the page loads in `pane`, and back.
    std::string urlFor(const std::string& pane, const std::string& address) const;

protected:
    void formChanged(Form& form, const nlohmann::json& change) override;
    void formUnloaded(const std::string& name) override;
    void panesEnabledChanged(bool enabled) override;

private:
    struct PaneState {
        std::string address; // what the logic named
        std::string url;     // what the page loads
        std::map<std::vector<int>, std::pair<std::string, std::string>> frames;
        std::uint64_t navSeq = 0;
        std::uint64_t loadedSeq = 0;
    };
    struct Modal {
        std::uint64_t id;
        nlohmann::json request;
        std::optional<nlohmann::json> answer;
    };

    void send(const nlohmann::json& op);
    nlohmann::json snapshot() const;
    nlohmann::json waitForModal(nlohmann::json request);
    std::string addressFromUrl(const std::string& url) const;
    nlohmann::json pageViewUrl(const std::string& form, const std::string& control,
                               const nlohmann::json& address) const;
    PaneState& paneState(const std::string& pane);

    EventLoop& m_loop;
    WebHostOptions m_options;
    std::shared_ptr<ServerState> m_server;
    std::shared_ptr<bool> m_alive;
    std::unique_ptr<SandboxOrigin> m_preview;

    std::string m_caption;
    std::vector<std::string> m_order; // bottom first
    std::map<std::string, PaneState> m_panes;
    std::shared_ptr<Channel> m_channel;
    std::uint64_t m_nextId = 1;
    std::map<std::uint64_t, std::optional<nlohmann::json>> m_pendingReads;
    std::vector<std::shared_ptr<Modal>> m_modals;
    bool m_stopping = false;

    std::function<void()> m_allClosed;
    std::chrono::milliseconds m_grace{0};
    std::optional<EventLoop::Id> m_graceTimer;
    bool m_everAttached = false;
};

} // namespace platform
