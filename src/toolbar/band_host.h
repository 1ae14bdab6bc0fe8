// The native-messaging host: one process per browser window's band. It reads the extension's
// messages from standard input, checks each one, and answers on standard output; the band's
// requests for page work wait for their replies while other messages go on being handled.
#pragma once

#include "platform/event_loop.h"
#include "toolbar/band.h"
#include "toolbar/band_browser.h"
#include "toolbar/native_messaging.h"

#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

namespace vellumite::toolbar {

// The band's browser reached through the extension: page work is a request answered by a
// "reply" message; everything else is a message that needs no answer.
class NativeBandBrowser : public BandBrowser {
public:
    using Send = std::function<void(const nlohmann::json&)>;

    NativeBandBrowser(platform::EventLoop& loop, Send send,
                      std::chrono::milliseconds replyTimeout = std::chrono::seconds(20));

    void onReply(const nlohmann::json& reply);
    void connectionClosed() { m_closed = true; }

    MarkResult markTerm(TabId tab, const TermSearch& search, std::string_view colour) override;
    bool containsTerm(TabId tab, const TermSearch& search) override;
    void removeMarks(TabId tab) override;
    void navigate(TabId tab, std::string_view url) override;
    void showBand(const BandView& view) override;
    void showItemsDialog(const ItemsDialogView& view) override;
    void hideItemsDialog() override;
    void showMenu(const std::vector<MenuItem>& items) override;
    void showAbout(std::string_view version) override;
    void showMessage(std::string_view text) override;
    void openScrapbook() override;
    void showScrapbookPage(TabId tab, std::string_view html) override;
    void saveScrapbookCopy(TabId tab, std::string_view fileName, std::string_view html) override;
    void focusEditor(std::string_view address) override;

private:
    // The reply to `request`, or nothing when none came in time or the connection closed.
    std::optional<nlohmann::json> ask(nlohmann::json request);
    // A long text sent in parts that each fit in one message.
    void sendParts(nlohmann::json message, std::string_view text);

    platform::EventLoop& m_loop;
    Send m_send;
    std::chrono::milliseconds m_replyTimeout;
    std::int64_t m_nextId = 1;
    std::map<std::int64_t, nlohmann::json> m_replies;
    bool m_closed = false;
};

class BandHost {
public:
    BandHost(platform::EventLoop& loop, int input, int output, BandEnvironment environment);

    // Serves the connection until the extension closes it. Returns the exit status.
    int run();

private:
    void onReadable();
    void onFrame(const Frame& frame);
    void dispatch(const nlohmann::json& message);
    void send(const nlohmann::json& message);
    void close();

    platform::EventLoop& m_loop;
    int m_input;
    int m_output;
    FrameReader m_reader;
    NativeBandBrowser m_browser;
    MartenBand m_band;
    platform::EventLoop::Id m_watch = 0;
    platform::EventLoop::Id m_timer2 = 0;
    bool m_closed = false;
};

} // namespace vellumite::toolbar
