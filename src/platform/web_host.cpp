// The logic-thread half of the web host: the model of the window (caption, panes, forms,
// dialogs) and the page operations sent over the channel. See web_server.cpp for the threads.
#include "platform/web_host.h"

#include "platform/sandbox_origin.h"
#include "platform/text.h"
#include "platform/web_requests.h"
#include "platform/web_server.h"

#include <csignal>

namespace platform {

using nlohmann::json;
namespace fs = std::filesystem;

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
    m_server->port = m_server->server.start(m_options.port);
    if (!m_options.previewFolder.empty()) {
        m_preview = std::make_unique<SandboxOrigin>();
        m_preview->mount("preview", servedFolder(m_options.previewFolder));
        m_preview->start();
    }
}

void WebHost::stop() {
    if (m_stopping)
        return;
    m_stopping = true;
    m_server->endWaits();
    if (m_channel)
        m_channel->close();
    m_server->server.stop();
    if (m_preview)
        m_preview->stop();
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
    return {{"op", "sync"},
            {"caption", m_caption},
            {"order", m_order},
            {"panes", panes},
            {"forms", forms},
            {"modals", modals},
            {"panesEnabled", panesEnabled()}};
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
    // The new page loads every pane: each is busy until it says it has.
    for (auto& [name, state] : m_panes)
        ++state.navSeq;
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
    } else if (type == "command") {
        // A page command clicked in a pane, as the server would have been asked to load it.
        auto link = web::paneLink(event.value("url", ""), origin(), m_server->token);
        // Nobody waits for its decision: the page already stayed where it was.
        if (link)
            handleNavigation(link->pane,
                             web::appAddress(m_options.appFolder, link->relative, link->query),
                             [](bool) {});
    } else if (type == "form") {
        Form* f = findForm(event.value("form", ""));
        if (f)
            f->deliver(event.value("control", ""), event.value("event", ""),
                       event.value("props", json::object()), event.value("argument", ""));
    } else if (type == "pickRefused") {
        // The page did not send a chosen file: too large, or it could not be read or sent.
        if (Form* f = findForm(event.value("form", ""))) {
            const std::string name = event.value("name", "");
            const std::string why =
                event.value("tooLarge", false)
                    ? pickedFileTooLarge(name, event.value("size", std::uint64_t{0}))
                    : event.value("reason", std::string("The file could not be sent."));
            f->deliverPick(event.value("control", ""), nullptr, why);
        }
    } else if (type == "error") {
        msgBox("The page could not be changed: " + event.value("message", std::string("?")),
               m_options.messageTitle, MsgButtons::Ok);
    } else if (type == "loadFailed") {
        msgBox(event.value("message", std::string("A page could not be shown.")),
               m_options.messageTitle, MsgButtons::Ok);
    }
}

void WebHost::handlePick(std::uint64_t channel, const std::string& form, const std::string& control,
                         std::unique_ptr<PickedFile> file) {
    if (!m_channel || channel != m_channel->id)
        return; // chosen in a page that was replaced: nobody waits for it
    if (Form* f = findForm(form))
        f->deliverPick(control, std::move(file), "");
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
    return m_channel && it != m_panes.end() && it->second.loadedSeq < it->second.navSeq;
}

bool WebHost::waitUntilNotBusy(const std::string& pane,
                               std::optional<std::chrono::milliseconds> timeout) {
    return m_loop.runUntil([&] { return m_stopping || !busy(pane); },
                           timeout.value_or(m_options.busyTimeout)) &&
           !m_stopping;
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
    // Our own sandboxed pages keep their opener, so that the next preview reuses the named
    // window: their opaque origin can neither script nor navigate the shell page. Pages of other
    // hosts are cut loose from it.
    const bool ours = m_preview && url.rfind(m_preview->base(), 0) == 0;
    send({{"op", "openWindow"}, {"url", url}, {"name", windowName}, {"keepOpener", ours}});
}

std::string WebHost::previewAddress(std::string_view relativeOutputPath) const {
    return m_preview ? m_preview->address("preview", relativeOutputPath) : "about:blank";
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

void WebHost::panesEnabledChanged(bool enabled) {
    send({{"op", "panesEnabled"}, {"enabled", enabled}});
}

} // namespace platform
