// The web host: HTTP server threads that check and serve, and the logic-side model of the window.
#include "platform/web_host.h"

#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text.h"

#include <condition_variable>
#include <csignal>
#include <deque>
#include <httplib.h>
#include <mutex>
#include <sys/random.h>

namespace platform {

using nlohmann::json;
namespace fs = std::filesystem;

// ---- Helpers shared by both sides

namespace {

std::string randomToken() {
    unsigned char bytes[32];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("cannot make a token: ") + std::strerror(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

bool constantTimeEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool hasControlBytes(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

std::string contentType(const fs::path& file) {
    const std::string ext = asciiLower(file.extension().string());
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".xml", "application/xml"},
        {".txt", "text/plain; charset=utf-8"},
        {".gif", "image/gif"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".woff2", "font/woff2"},
    };
    auto it = types.find(ext);
    return it == types.end() ? "application/octet-stream" : it->second;
}

constexpr const char* kPageCsp =
    "default-src 'self'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src * data:; media-src *; font-src 'self'; connect-src 'self'; frame-src *; "
    "frame-ancestors 'self'; form-action 'self'; base-uri 'self'; object-src 'none'";
// A generated site runs its own scripts, in an opaque origin that cannot reach the editor.
constexpr const char* kPreviewCsp = "sandbox allow-scripts allow-popups";

const char* kNotFoundPage = "<!doctype html><meta charset=utf-8><title>Not found</title>"
                            "<link rel=stylesheet href=\"/s/%TOKEN%/shell/shell.css\">"
                            "<body class=plain><p>This page is not here.</p>";

} // namespace

// ---- What the server threads share

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
                const WebHostOptions& options)
        : loop(loop), host(&host), alive(std::move(alive)), token(randomToken()),
          appFolder(options.appFolder), shellFolder(options.shellFolder),
          servedFolders(options.servedFolders) {}

    EventLoop& loop;
    WebHost* host; // used only in messages posted to the loop, after checking `alive`
    std::shared_ptr<bool> alive;
    const std::string token;
    const fs::path appFolder;
    const fs::path shellFolder;
    const std::vector<std::string> servedFolders;
    std::atomic<int> port{0};
    std::atomic<bool> stopping{false};
    httplib::Server server;
    std::atomic<std::uint64_t> nextChannel{1};

    std::mutex channelsMutex;
    std::vector<std::shared_ptr<WebHost::Channel>> channels;

    std::string origin(const std::string& hostHeader) const { return "http://" + hostHeader; }

    // Runs `work` on the loop thread while the host lives.
    void toLoop(std::function<void(WebHost&)> work) {
        loop.post([alive = std::weak_ptr<bool>(alive), host = host, work = std::move(work)] {
            auto flag = alive.lock();
            if (!flag || !*flag)
                return;
            // Nothing the logic throws may end the loop: it is shown, and the editor goes on.
            try {
                work(*host);
            } catch (const std::exception& e) {
                host->reportFailure(e.what());
            }
        });
    }

    void install();

private:
    bool hostAllowed(const std::string& hostHeader) const {
        std::string p = std::to_string(port.load());
        return hostHeader == "127.0.0.1:" + p || hostHeader == "localhost:" + p ||
               hostHeader == "[::1]:" + p;
    }
    bool fromOurPages(const httplib::Request& req) const {
        std::string site = req.get_header_value("Sec-Fetch-Site");
        if (!site.empty())
            return site == "same-origin";
        std::string referer = req.get_header_value("Referer");
        std::string mine = origin(req.get_header_value("Host")) + "/";
        return referer.compare(0, mine.size(), mine) == 0;
    }
    bool isPrefetch(const httplib::Request& req) const {
        std::string purpose = req.get_header_value("Sec-Purpose");
        if (purpose.empty())
            purpose = req.get_header_value("Purpose");
        return purpose.find("prefetch") != std::string::npos ||
               purpose.find("prerender") != std::string::npos;
    }
    bool isNavigation(const httplib::Request& req) const {
        std::string mode = req.get_header_value("Sec-Fetch-Mode");
        if (!mode.empty())
            return mode == "navigate" || mode == "nested-navigate";
        std::string dest = req.get_header_value("Sec-Fetch-Dest");
        return dest == "document" || dest == "iframe" || dest == "frame";
    }

    void refuse(httplib::Response& res, int status, const std::string& why) {
        res.status = status;
        res.set_content(why + "\n", "text/plain; charset=utf-8");
    }
    void notFound(httplib::Response& res) {
        std::string page = kNotFoundPage;
        page.replace(page.find("%TOKEN%"), 7, token);
        res.status = 404;
        res.set_content(page, "text/html; charset=utf-8");
    }
    void serveFile(httplib::Response& res, const fs::path& file) {
        try {
            res.set_content(files::readFile(file), contentType(file).c_str());
            res.status = 200;
        } catch (const std::system_error&) {
            notFound(res);
        }
    }

    // The file of the app folder named by a relative path, when pages may load it.
    std::optional<fs::path> appFile(const std::string& relative) const {
        std::string top = relative.substr(0, relative.find('/'));
        bool allowed = false;
        for (const auto& folder : servedFolders)
            if (equalsNoCase(top, folder))
                allowed = true;
        if (!allowed)
            return std::nullopt;
        auto found = files::resolveNoCase(appFolder, relative);
        if (!found || !fs::is_regular_file(*found))
            return std::nullopt;
        return found;
    }

    void handleGet(const httplib::Request& req, httplib::Response& res, std::string_view rest,
                   std::string_view query);
    void handlePane(const httplib::Request& req, httplib::Response& res, std::string_view rest,
                    std::string_view query);
    void handleChannel(const httplib::Request& req, httplib::Response& res);
    void handleEventPost(const httplib::Request& req, httplib::Response& res);
};

void ServerState::install() {
    server.set_default_headers({
        {"Content-Security-Policy", kPageCsp},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
        {"X-Frame-Options", "SAMEORIGIN"},
    });
    server.new_task_queue = [] { return new httplib::ThreadPool(24); };
    server.set_keep_alive_timeout(2);
    // The channel writes small chunks; waiting for ACKs (Nagle) would add tens of ms each.
    server.set_tcp_nodelay(true);

    // Every request passes here first: Host header, token, then the route. Routing by hand
    // keeps the token out of any pattern and every check in one place.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (!hostAllowed(req.get_header_value("Host"))) {
            refuse(res, 421, "This server answers only to its own address.");
            return httplib::Server::HandlerResponse::Handled;
        }
        std::string_view target = req.target;
        std::string_view path = target.substr(0, target.find('?'));
        std::string_view query =
            target.find('?') == std::string_view::npos ? "" : target.substr(target.find('?') + 1);
        // "/s/<token>/..."
        if (path.size() < 4 + token.size() || path.substr(0, 3) != "/s/" ||
            !constantTimeEqual(path.substr(3, token.size()), token) ||
            path[3 + token.size()] != '/') {
            refuse(res, 404, "Not found.");
            return httplib::Server::HandlerResponse::Handled;
        }
        std::string_view rest = path.substr(4 + token.size());
        if (req.method == "POST") {
            // Our own pages only: a POST always carries its Origin.
            if (req.get_header_value("Origin") != origin(req.get_header_value("Host"))) {
                refuse(res, 403, "Refused: not from this editor's pages.");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (rest == "channel") {
                handleChannel(req, res);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled; // "event" reads its body
        }
        if (req.method != "GET" && req.method != "HEAD") {
            refuse(res, 405, "Method not allowed.");
            return httplib::Server::HandlerResponse::Handled;
        }
        handleGet(req, res, rest, query);
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Post(
        "/s/" + token + "/event",
        [this](const httplib::Request& req, httplib::Response& res) { handleEventPost(req, res); });
}

void ServerState::handleGet(const httplib::Request& req, httplib::Response& res,
                            std::string_view rest, std::string_view query) {
    if (rest.empty() || rest == "index.html") {
        serveFile(res, shellFolder / "shell.html");
        return;
    }
    if (rest.substr(0, 6) == "shell/") {
        std::string name(rest.substr(6));
        if (name == "shell.js" || name == "shell.css")
            serveFile(res, shellFolder / name);
        else
            notFound(res);
        return;
    }
    if (rest.substr(0, 5) == "pane/") {
        handlePane(req, res, rest.substr(5), query);
        return;
    }
    auto decoded = percentDecode(rest);
    if (!decoded || hasControlBytes(*decoded)) {
        refuse(res, 400, "Bad address.");
        return;
    }
    if (decoded->substr(0, 8) == "preview/") {
        auto file = files::resolveNoCase(appFolder / "html/output", decoded->substr(8));
        if (!file || !fs::is_regular_file(*file)) {
            notFound(res);
            return;
        }
        serveFile(res, *file);
        res.headers.erase("Content-Security-Policy");
        res.set_header("Content-Security-Policy", kPreviewCsp);
        return;
    }
    if (decoded->substr(0, 5) == "file/") {
        // Pages of the app folder opened in a window of their own: served, never dispatched.
        if (!fromOurPages(req)) {
            refuse(res, 403, "Refused: not from this editor's pages.");
            return;
        }
        auto file = appFile(decoded->substr(5));
        file ? serveFile(res, *file) : notFound(res);
        return;
    }
    notFound(res);
}

void ServerState::handlePane(const httplib::Request& req, httplib::Response& res,
                             std::string_view rest, std::string_view query) {
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        notFound(res);
        return;
    }
    std::string pane(rest.substr(0, slash));
    auto relative = percentDecode(rest.substr(slash + 1));
    if (!relative || hasControlBytes(*relative) || hasControlBytes(query)) {
        refuse(res, 400, "Bad address.");
        return;
    }
    if (!fromOurPages(req) || isPrefetch(req)) {
        refuse(res, 403, "Refused: not from this editor's pages.");
        return;
    }
    if (isNavigation(req)) {
        std::string address = (appFolder / *relative).string();
        if (!query.empty())
            address += "?" + std::string(query);
        auto decision = std::make_shared<Decision>();
        toLoop([pane, address, decision](WebHost& host) {
            // A failing handler still answers the page: it stays where it was.
            struct Answer {
                std::shared_ptr<Decision> decision;
                ~Answer() { decision->set(true); }
            } fallback{decision};
            bool cancel =
                host.handleNavigation(pane, address, [decision](bool c) { decision->set(c); });
            decision->set(cancel);
        });
        bool cancel = true;
        {
            std::unique_lock lock(decision->mutex);
            // The logic answers in microseconds unless it is inside a long piece of work; a
            // page that waits longer is left where it was.
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!decision->cancel && !stopping)
                if (decision->wake.wait_until(lock, deadline) == std::cv_status::timeout)
                    break;
            if (decision->cancel)
                cancel = *decision->cancel;
        }
        if (cancel) {
            res.status = 204; // the pane stays where it was
            return;
        }
    }
    auto file = appFile(*relative);
    file ? serveFile(res, *file) : notFound(res);
}

void ServerState::handleChannel(const httplib::Request& req, httplib::Response& res) {
    (void)req;
    auto channel = std::make_shared<WebHost::Channel>();
    channel->id = nextChannel++;
    {
        std::lock_guard lock(channelsMutex);
        channels.push_back(channel);
    }
    toLoop([channel](WebHost& host) { host.attachChannel(channel); });
    res.status = 200;
    res.set_chunked_content_provider(
        "application/x-ndjson",
        [this, channel](std::size_t, httplib::DataSink& sink) {
            std::deque<std::string> out;
            {
                std::unique_lock lock(channel->mutex);
                channel->wake.wait_for(lock, std::chrono::seconds(15), [&] {
                    return channel->closed || !channel->lines.empty() || stopping;
                });
                if (channel->closed || stopping) {
                    lock.unlock();
                    sink.done();
                    return true;
                }
                out.swap(channel->lines);
            }
            if (out.empty())
                out.push_back("{\"op\":\"ping\"}\n"); // finds a page that went away
            std::string batch;
            for (auto& line : out)
                batch += line;
            return sink.write(batch.data(), batch.size());
        },
        [this, channel](bool) {
            channel->close();
            {
                std::lock_guard lock(channelsMutex);
                std::erase(channels, channel);
            }
            toLoop([channel](WebHost& host) { host.detachChannel(channel); });
        });
}

void ServerState::handleEventPost(const httplib::Request& req, httplib::Response& res) {
    json event = json::parse(req.body, nullptr, false);
    if (event.is_discarded() || !event.is_object()) {
        refuse(res, 400, "Bad event.");
        return;
    }
    toLoop([event = std::move(event)](WebHost& host) { host.handleEvent(event); });
    res.status = 204;
}

// ---- WebHost: the logic side

WebHost::WebHost(EventLoop& loop, WebHostOptions options)
    : Host(options.paneNames), m_loop(loop), m_options(std::move(options)),
      m_alive(std::make_shared<bool>(true)) {
    m_server = std::make_shared<ServerState>(loop, *this, m_alive, m_options);
    m_caption = m_options.caption;
    m_order = m_options.paneNames;
    for (const auto& name : m_options.paneNames)
        m_panes[name];
}

WebHost::~WebHost() {
    stop();
    *m_alive = false;
}

void WebHost::start() {
    // A browser that closes a connection while we write must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    m_server->install();
    int port =
        m_options.port == 0
            ? m_server->server.bind_to_any_port("127.0.0.1")
            : (m_server->server.bind_to_port("127.0.0.1", m_options.port) ? m_options.port : -1);
    if (port <= 0)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(m_options.port) +
                                 ": " + std::strerror(errno));
    m_server->port = port;
    m_listener = std::thread([server = m_server] { server->server.listen_after_bind(); });
}

void WebHost::stop() {
    if (m_stopping)
        return;
    m_stopping = true;
    m_server->stopping = true;
    {
        std::lock_guard lock(m_server->channelsMutex);
        for (auto& c : m_server->channels)
            c->close();
    }
    if (m_channel)
        m_channel->close();
    m_server->server.stop();
    if (m_listener.joinable())
        m_listener.join();
}

int WebHost::port() const {
    return m_server->port;
}

std::string WebHost::origin() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

std::string WebHost::address() const {
    return origin() + "/s/" + m_server->token + "/";
}

void WebHost::onAllPagesClosed(std::function<void()> handler, std::chrono::milliseconds grace) {
    m_allClosed = std::move(handler);
    m_grace = grace;
}

void WebHost::send(const json& op) {
    if (m_channel)
        m_channel->push(op.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

WebHost::PaneState& WebHost::paneState(const std::string& pane) {
    auto it = m_panes.find(pane);
    if (it == m_panes.end())
        throw DomError("There is no pane \"" + pane + "\".");
    return it->second;
}

std::string WebHost::urlFor(const std::string& pane, const std::string& address) const {
    if (address.empty() || address == "about:blank")
        return "about:blank";
    if (address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0)
        return address;
    fs::path path(address);
    fs::path base = m_options.appFolder.lexically_normal();
    fs::path rel = path.lexically_normal().lexically_relative(base);
    if (!path.is_absolute() || rel.empty() || rel.native().rfind("..", 0) == 0)
        throw DomError("cannot show " + address + ": it is not a page of the app folder");
    std::string prefix = "/s/" + m_server->token + "/";
    prefix += pane.empty() ? "file/" : "pane/" + percentEncodePath(pane) + "/";
    return prefix + percentEncodePath(rel.generic_string());
}

std::string WebHost::addressFromUrl(const std::string& url) const {
    // ".../s/<token>/pane/<pane>/<relative>"
    std::string marker = "/s/" + m_server->token + "/pane/";
    std::size_t at = url.find(marker);
    if (at == std::string::npos)
        return url;
    std::string rest = url.substr(at + marker.size());
    std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return url;
    std::string relative = rest.substr(slash + 1);
    relative = relative.substr(0, relative.find('#'));
    std::string query;
    if (auto q = relative.find('?'); q != std::string::npos) {
        query = relative.substr(q);
        relative = relative.substr(0, q);
    }
    auto decoded = percentDecode(relative);
    return (m_options.appFolder / decoded.value_or(relative)).string() + query;
}

json WebHost::snapshot() const {
    json panes = json::object();
    for (const auto& [name, state] : m_panes) {
        json frames = json::array();
        for (const auto& [path, entry] : state.frames)
            frames.push_back({{"frames", path}, {"url", entry.second}});
        panes[name] = {{"url", state.url}, {"seq", state.navSeq}, {"frames", frames}};
    }
    json forms = json::array();
    for (const auto& [name, form] : const_cast<WebHost*>(this)->forms())
        if (form->visible()) {
            json snap = form->snapshot();
            for (auto& c : snap["controls"])
                if (c["props"].contains("address"))
                    c["props"]["address"] =
                        pageViewUrl(name, c.value("name", ""), c["props"]["address"]);
            forms.push_back(snap);
        }
    json modals = json::array();
    for (const auto& m : m_modals)
        modals.push_back(m->request);
    return {{"op", "sync"},   {"caption", m_caption}, {"order", m_order},
            {"panes", panes}, {"forms", forms},       {"modals", modals}};
}

void WebHost::attachChannel(const std::shared_ptr<Channel>& channel) {
    if (m_stopping) {
        channel->close();
        return;
    }
    if (m_channel && m_channel != channel) {
        // The newest page wins: the editor shows in one place at a time.
        m_channel->push("{\"op\":\"superseded\"}\n");
        m_channel->close();
        for (auto& [id, answer] : m_pendingReads)
            if (!answer)
                answer = json{{"ok", false}, {"error", "The editor page was replaced."}};
    }
    m_channel = channel;
    m_everAttached = true;
    if (m_graceTimer) {
        m_loop.cancelTimer(*m_graceTimer);
        m_graceTimer.reset();
    }
    json sync = snapshot();
    sync["channel"] = channel->id;
    send(sync);
}

void WebHost::detachChannel(const std::shared_ptr<Channel>& channel) {
    if (m_channel != channel)
        return;
    m_channel.reset();
    for (auto& [id, answer] : m_pendingReads)
        if (!answer)
            answer = json{{"ok", false}, {"error", "The editor page was closed."}};
    if (m_allClosed && !m_stopping && !m_graceTimer)
        m_graceTimer = m_loop.addTimer(m_grace, [this] {
            m_graceTimer.reset();
            if (!m_channel && m_allClosed)
                m_allClosed();
        });
}

void WebHost::handleEvent(const json& event) {
    // Events of a page that was replaced by a newer one are old news.
    if (!m_channel || event.value("channel", std::uint64_t{0}) != m_channel->id)
        return;
    std::string type = event.value("type", "");
    if (type == "reply") {
        auto it = m_pendingReads.find(event.value("id", std::uint64_t{0}));
        if (it != m_pendingReads.end())
            it->second = event;
    } else if (type == "modal") {
        std::uint64_t id = event.value("id", std::uint64_t{0});
        for (auto& m : m_modals)
            if (m->id == id && !m->answer)
                m->answer = event.value("result", json());
    } else if (type == "loaded") {
        std::string pane = event.value("pane", "");
        auto it = m_panes.find(pane);
        if (it == m_panes.end())
            return;
        std::uint64_t seq = event.value("seq", std::uint64_t{0});
        it->second.loadedSeq = std::max(it->second.loadedSeq, std::min(seq, it->second.navSeq));
        if (event.value("top", false))
            fireDocumentComplete(pane, addressFromUrl(event.value("url", "")));
    } else if (type == "form") {
        Form* f = findForm(event.value("form", ""));
        if (f)
            f->deliver(event.value("control", ""), event.value("event", ""),
                       event.value("props", json::object()), event.value("argument", ""));
    } else if (type == "error") {
        msgBox("The page could not be changed: " + event.value("message", std::string("?")),
               m_options.messageTitle, MsgButtons::Ok);
    }
}

bool WebHost::handleNavigation(const std::string& pane, const std::string& address,
                               const std::function<void(bool)>& decided) {
    if (!pane.empty() && pane.front() == '@') {
        // A page view inside a form ("@frmManage.webManage"): its form decides.
        std::size_t dot = pane.find('.');
        Form* form = dot == std::string::npos ? nullptr : findForm(pane.substr(1, dot - 1));
        bool cancel =
            form ? form->deliver(pane.substr(dot + 1), "navigate", json::object(), address) : true;
        decided(cancel);
        return cancel;
    }
    if (!m_panes.contains(pane)) {
        decided(true);
        return true;
    }
    return fireBeforeNavigate(pane, address, decided);
}

void WebHost::reportFailure(const std::string& description) {
    try {
        msgBox(description, m_options.messageTitle, MsgButtons::Ok);
    } catch (const std::exception&) {
        // Showing it failed too; there is nowhere left to say it.
    }
}

void WebHost::setCaption(std::string caption) {
    m_caption = std::move(caption);
    send({{"op", "caption"}, {"text", m_caption}});
}

void WebHost::navigate(const DocPath& where, const std::string& address) {
    PaneState& state = paneState(where.pane);
    std::string url = urlFor(where.pane, address);
    ++state.navSeq;
    if (where.frames.empty()) {
        state.address = address;
        state.url = url;
        state.frames.clear();
    } else {
        state.frames[where.frames] = {address, url};
    }
    send({{"op", "navigate"},
          {"pane", where.pane},
          {"frames", where.frames},
          {"url", url},
          {"seq", state.navSeq}});
}

std::string WebHost::location(const DocPath& where) const {
    auto it = m_panes.find(where.pane);
    if (it == m_panes.end())
        return {};
    if (where.frames.empty())
        return it->second.address;
    auto f = it->second.frames.find(where.frames);
    return f == it->second.frames.end() ? std::string() : f->second.first;
}

void WebHost::setPaneOrder(const std::string& pane, bool front) {
    paneState(pane);
    std::erase(m_order, pane);
    if (front)
        m_order.push_back(pane);
    else
        m_order.insert(m_order.begin(), pane);
    send({{"op", "order"}, {"order", m_order}});
}

bool WebHost::busy(const std::string& pane) const {
    auto it = m_panes.find(pane);
    return it != m_panes.end() && it->second.loadedSeq < it->second.navSeq;
}

bool WebHost::waitUntilNotBusy(const std::string& pane,
                               std::optional<std::chrono::milliseconds> timeout) {
    return m_loop.runUntil([&] { return m_stopping || !busy(pane); }, timeout) && !m_stopping;
}

json WebHost::dom(const DocPath& where, std::string_view op, json args, bool read) {
    paneState(where.pane);
    std::uint64_t id = m_nextId++;
    json request = {{"op", "dom"},        {"id", id},
                    {"pane", where.pane}, {"frames", where.frames},
                    {"name", op},         {"args", std::move(args)},
                    {"read", read}};
    if (!read) {
        send(request);
        return nullptr;
    }
    if (!m_channel)
        throw DomError("The editor is not open in a browser.");
    m_pendingReads[id];
    send(request);
    bool answered = m_loop.runUntil([&] { return m_stopping || m_pendingReads[id].has_value(); },
                                    m_options.readTimeout);
    json reply = m_pendingReads[id].value_or(json());
    m_pendingReads.erase(id);
    if (!answered || reply.is_null())
        throw DomError("The editor page did not answer.");
    if (!reply.value("ok", false))
        throw DomError(reply.value("error", std::string("The page could not be read.")));
    return reply.value("value", json());
}

json WebHost::waitForModal(json request) {
    auto modal = std::make_shared<Modal>();
    modal->id = m_nextId++;
    request["op"] = "modal";
    request["id"] = modal->id;
    modal->request = request;
    m_modals.push_back(modal);
    send(request);
    m_loop.runUntil([&] { return m_stopping || modal->answer.has_value(); });
    std::erase(m_modals, modal);
    send({{"op", "modalClose"}, {"id", modal->id}});
    return modal->answer.value_or(json());
}

MsgResult WebHost::msgBox(std::string_view text, std::string_view title, MsgButtons buttons) {
    json answer = waitForModal({{"kind", "message"},
                                {"text", text},
                                {"title", title},
                                {"buttons", buttons == MsgButtons::YesNo ? "yesno" : "ok"}});
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    return answer == "yes" ? MsgResult::Yes : MsgResult::No;
}

std::optional<std::string> WebHost::inputBox(std::string_view prompt, std::string_view title,
                                             std::string_view initial) {
    json answer =
        waitForModal({{"kind", "input"}, {"text", prompt}, {"title", title}, {"initial", initial}});
    if (!answer.is_object() || !answer.value("ok", false))
        return std::nullopt;
    return answer.value("text", std::string());
}

std::optional<std::string> WebHost::passwordBox(std::string_view prompt, std::string_view title) {
    json answer = waitForModal(
        {{"kind", "input"}, {"text", prompt}, {"title", title}, {"initial", ""}, {"masked", true}});
    if (!answer.is_object() || !answer.value("ok", false))
        return std::nullopt;
    return answer.value("text", std::string());
}

std::optional<fs::path> WebHost::openFileDialog(std::string_view title, std::string_view filter) {
    std::string initial;
    for (;;) {
        json answer = waitForModal(
            {{"kind", "file"}, {"text", filter}, {"title", title}, {"initial", initial}});
        if (!answer.is_object() || !answer.value("ok", false))
            return std::nullopt;
        fs::path chosen = answer.value("text", std::string());
        std::error_code ec;
        if (chosen.is_absolute() && fs::is_regular_file(chosen, ec))
            return chosen;
        initial = chosen.string();
        msgBox("There is no file " + initial + ".", title, MsgButtons::Ok);
    }
}

void WebHost::openWindow(const std::string& address, const std::string& windowName) {
    std::string url = address;
    if (!address.empty() && address.front() == '/') {
        if (address.rfind("/s/" + m_server->token + "/", 0) != 0)
            url = urlFor("", address);
    }
    send({{"op", "openWindow"}, {"url", url}, {"name", windowName}});
}

std::string WebHost::previewAddress(std::string_view relativeOutputPath) const {
    return "/s/" + m_server->token + "/preview/" + percentEncodePath(relativeOutputPath);
}

// Page views in a form load through the server like panes ("@frmManage.webManage"), so their
// navigations reach the form's "navigate" handler.
json WebHost::pageViewUrl(const std::string& form, const std::string& control,
                          const json& address) const {
    if (!address.is_string())
        return address;
    try {
        return urlFor("@" + form + "." + control, address.get<std::string>());
    } catch (const DomError&) {
        return "about:blank";
    }
}

void WebHost::formChanged(Form& form, const json& change) {
    json out = change;
    if (out.value("op", "") == "formSet" && out.value("property", "") == "address")
        out["value"] = pageViewUrl(form.name(), out.value("control", ""), out["value"]);
    if (out.value("op", "") == "form")
        for (auto& c : out["form"]["controls"])
            if (c["props"].contains("address"))
                c["props"]["address"] =
                    pageViewUrl(form.name(), c.value("name", ""), c["props"]["address"]);
    send(out);
}

void WebHost::formUnloaded(const std::string& name) {
    send({{"op", "formUnload"}, {"form", name}});
}

} // namespace platform
