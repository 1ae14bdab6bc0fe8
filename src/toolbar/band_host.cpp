// Serving one band's connection to the extension.
#include "toolbar/band_host.h"

#include "toolbar/host_messages.h"
#include "toolbar/items_dialog.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <unistd.h>

namespace vellumite::toolbar {

using nlohmann::json;

namespace {

// Small enough that a part stays under the browser's limit even when every byte of it must
// be written as a six-character escape.
constexpr std::size_t kPartSize = 128 * 1024;

// The text cut into parts that never split a UTF-8 character.
std::vector<std::string_view> partsOf(std::string_view text) {
    std::vector<std::string_view> parts;
    while (text.size() > kPartSize) {
        std::size_t cut = kPartSize;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == 0)
            cut = kPartSize;
        parts.push_back(text.substr(0, cut));
        text.remove_prefix(cut);
    }
    parts.push_back(text);
    return parts;
}

json sizeOf(BandSize size) {
    return {{"x", size.x}, {"y", size.y}};
}

} // namespace

// ---------------------------------------------------------------------------------------------
// NativeBandBrowser

NativeBandBrowser::NativeBandBrowser(platform::EventLoop& loop, Send send,
                                     std::chrono::milliseconds replyTimeout)
    : m_loop(loop), m_send(std::move(send)), m_replyTimeout(replyTimeout) {}

void NativeBandBrowser::onReply(const json& reply) {
    auto id = reply.at("id").get<std::int64_t>();
    if (m_replies.contains(id))
        m_replies[id] = reply;
    // else: an answer that came too late, or to nothing asked
}

std::optional<json> NativeBandBrowser::ask(json request) {
    if (m_closed)
        return std::nullopt;
    std::int64_t id = m_nextId++;
    request["type"] = "request";
    request["id"] = id;
    m_replies[id] = nullptr;
    m_send(request);
    m_loop.runUntil([&] { return m_closed || !m_replies[id].is_null(); }, m_replyTimeout);
    json reply = std::move(m_replies[id]);
    m_replies.erase(id);
    if (reply.is_null())
        return std::nullopt;
    return reply;
}

MarkResult NativeBandBrowser::markTerm(TabId tab, const TermSearch& search,
                                       std::string_view colour) {
    auto reply = ask({{"op", "mark"},
                      {"tab", tab},
                      {"term", search.term},
                      {"wholeWord", search.wholeWord},
                      {"colour", colour}});
    if (!reply)
        return {0, true}; // no answer: the pass cannot go on
    if (reply->contains("error"))
        return {0, false}; // a page the add-on cannot reach is skipped
    return {std::max(0L, reply->value("count", 0L)), reply->value("interrupted", false)};
}

bool NativeBandBrowser::containsTerm(TabId tab, const TermSearch& search) {
    auto reply =
        ask({{"op", "find"}, {"tab", tab}, {"term", search.term}, {"wholeWord", search.wholeWord}});
    return reply && reply->value("found", false);
}

void NativeBandBrowser::removeMarks(TabId tab) {
    m_send({{"type", "removeMarks"}, {"tab", tab}});
}

void NativeBandBrowser::navigate(TabId tab, std::string_view url) {
    m_send({{"type", "navigate"}, {"tab", tab}, {"url", url}});
}

void NativeBandBrowser::showBand(const BandView& view) {
    m_send({{"type", "band"},
            {"padlock", view.highlighting ? "green" : "grey"},
            {"counter", view.counter},
            {"counterVisible", view.counterVisible}});
}

void NativeBandBrowser::showItemsDialog(const ItemsDialogView& view) {
    json links = json::array();
    for (const auto& link : kItemsLinks)
        links.push_back({{"control", link.control}, {"caption", link.caption}});
    // The colours of the four links for the mouse over nothing, then over each link.
    json colours = json::array();
    for (int hovered = -1; hovered < 4; ++hovered)
        colours.push_back(linkColours(hovered));
    m_send({{"type", "itemsDialog"},
            {"lines", view.lines},
            {"tooltip", kItemsTooltip},
            {"links", links},
            {"linkColours", colours}});
}

void NativeBandBrowser::hideItemsDialog() {
    m_send({{"type", "itemsDialogClose"}});
}

void NativeBandBrowser::showMenu(const std::vector<MenuItem>& items) {
    json list = json::array();
    for (const auto& item : items)
        list.push_back({{"id", item.id}, {"caption", item.caption}});
    m_send({{"type", "menu"}, {"items", list}});
}

void NativeBandBrowser::showAbout(std::string_view version) {
    m_send({{"type", "about"}, {"version", version}});
}

void NativeBandBrowser::showMessage(std::string_view text) {
    m_send({{"type", "message"}, {"text", text}});
}

void NativeBandBrowser::openScrapbook() {
    m_send({{"type", "openScrapbook"}});
}

void NativeBandBrowser::sendParts(json message, std::string_view text) {
    auto parts = partsOf(text);
    message["parts"] = parts.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        message["part"] = i;
        message["html"] = parts[i];
        m_send(message);
    }
}

void NativeBandBrowser::showScrapbookPage(TabId tab, std::string_view html) {
    sendParts({{"type", "scrapbookPage"}, {"tab", tab}}, html);
}

void NativeBandBrowser::saveScrapbookCopy(TabId tab, std::string_view fileName,
                                          std::string_view html) {
    sendParts({{"type", "saveCopy"}, {"tab", tab}, {"fileName", fileName}}, html);
}

void NativeBandBrowser::focusEditor(std::string_view address) {
    m_send({{"type", "focusEditor"}, {"address", address}});
}

// ---------------------------------------------------------------------------------------------
// BandHost

BandHost::BandHost(platform::EventLoop& loop, int input, int output, BandEnvironment environment)
    : m_loop(loop), m_input(input), m_output(output),
      m_browser(loop, [this](const json& message) { send(message); }),
      m_band(m_browser, std::move(environment)) {}

int BandHost::run() {
    m_watch = m_loop.watchFd(m_input, POLLIN, [this](short) { onReadable(); });
    m_timer2 = m_loop.addPeriodicTimer(std::chrono::milliseconds(500), [this] {
        if (auto* form = m_band.form(); form && !m_closed)
            form->Timer2();
    });
    m_loop.run();
    // Outside every handler: nothing still uses the band form.
    m_loop.cancelTimer(m_timer2);
    m_band.CloseDW();
    m_band.SetSite(std::nullopt);
    return 0;
}

void BandHost::close() {
    if (m_closed)
        return;
    m_closed = true;
    m_browser.connectionClosed();
    m_loop.unwatchFd(m_watch);
    m_loop.quit();
}

void BandHost::onReadable() {
    char buffer[65536];
    ssize_t n = ::read(m_input, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        close();
        return;
    }
    m_reader.feed({buffer, static_cast<std::size_t>(n)});
    while (m_reader.hasFrame())
        onFrame(m_reader.take());
}

void BandHost::onFrame(const Frame& frame) {
    if (frame.kind == Frame::TooLarge) {
        send({{"type", "error"},
              {"error", "a message of " + std::to_string(frame.length) + " bytes is larger than " +
                            std::to_string(kMaxIncomingMessage) + " bytes"}});
        return;
    }
    json message;
    try {
        message = parseMessage(frame.body);
    } catch (const BadMessage& e) {
        send({{"type", "error"}, {"error", e.what()}});
        return;
    }
    if (message["type"] == "reply") {
        m_browser.onReply(message); // a wait in progress is looking for it
        return;
    }
    // Handlers may wait for replies: they run from the loop, in the order the messages came.
    m_loop.post([this, message] {
        if (m_closed)
            return;
        try {
            dispatch(message);
        } catch (const std::exception& e) {
            send({{"type", "error"}, {"error", e.what()}});
        }
    });
}

void BandHost::dispatch(const json& message) {
    const std::string& type = message["type"].get_ref<const std::string&>();
    if (type == "setSite") {
        m_band.SetSite(message["window"].get<std::int64_t>());
        BandInfo info = GetBandInfo(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL |
                                    DBIM_TITLE | DBIM_MODEFLAGS);
        send({{"type", "bandInfo"},
              {"minSize", sizeOf(*info.minSize)},
              {"maxSize", sizeOf(*info.maxSize)},
              {"integral", sizeOf(*info.integral)},
              {"actualSize", sizeOf(*info.actualSize)},
              {"title", *info.title},
              {"modeFlags", *info.modeFlags}});
        return;
    }
    if (type == "close") {
        close(); // the form unloads once no handler is running
        return;
    }
    if (type == "show") {
        m_band.ShowDW(message["visible"].get<bool>());
        return;
    }
    FrmBand* form = m_band.form();
    if (!form) {
        send({{"type", "error"}, {"error", "\"" + type + "\" came before \"setSite\""}});
        return;
    }
    auto text = [&](const char* field) { return message.value(field, std::string()); };
    auto tab = [&] { return message["tab"].get<TabId>(); };
    Highlighter& highlighter = form->highlighter();
    if (type == "tabActivated")
        highlighter.tabActivated(tab(), text("url"));
    else if (type == "beforeNavigate")
        highlighter.beforeNavigate(tab(), text("url"));
    else if (type == "documentComplete")
        highlighter.documentComplete(tab(), text("url"));
    else if (type == "tabClosed")
        highlighter.tabClosed(tab());
    else if (type == "padlock")
        highlighter.togglePadlock();
    else if (type == "itemsOpen")
        form->imgManualItems_Click();
    else if (type == "itemsSave")
        form->Save_Click(message["lines"].get<std::vector<std::string>>());
    else if (type == "itemsCancel")
        form->cmdCancel_Click();
    else if (type == "itemsLink")
        form->itemsLink_Click(text("link"));
    else if (type == "menuOpen")
        form->showMenu();
    else if (type == "menuChoose")
        form->menuChoose(message["item"].get<int>());
    else if (type == "about")
        form->showAbout();
    else if (type == "drop")
        form->picGrabber_OLEDragDrop(message["types"].get<std::vector<std::string>>(), text("text"),
                                     text("url"));
    else if (type == "scrapbookShow")
        form->scrapbookShow(tab());
    else if (type == "scrapbookLink")
        form->scrapbookLink(tab(), text("from"), text("url"));
}

void BandHost::send(const json& message) {
    if (m_closed)
        return;
    std::string frame = frameOf(message);
    if (frame.size() - 4 > kMaxOutgoingMessage) {
        std::cerr << "vellumitebar: a \"" << message.value("type", "") << "\" message of "
                  << frame.size() << " bytes is too large for the browser; not sent\n";
        return;
    }
    std::size_t done = 0;
    while (done < frame.size()) {
        ssize_t n = ::write(m_output, frame.data() + done, frame.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(); // the browser has gone
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace vellumite::toolbar
