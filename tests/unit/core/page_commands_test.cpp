// The dispatcher against its tables: matching order and case, argument cutting, refusals.
#include "core/page_commands.h"
#include "core/panes.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using testing::FakeHost;

class Dispatch : public ::testing::Test {
protected:
    Dispatch()
        : host({kPaneNames.begin(), kPaneNames.end()}, &loop),
          app(loop, host, "/data/my-app", Settings{}) {
        app.settings.online = true;
        app.settings.serviceUrl = "http://service.test/";
        h.editLink = record("editLink");
        h.editPost = record("editPost");
        h.deleteLink = record("deleteLink");
        h.deletePost = record("deletePost");
        h.showPostSet = [this](CommandContext& ctx) {
            record("showPostSet")(ctx);
            log.back() += ":" + std::to_string(app.postListPage);
        };
        h.openSite = record("openSite");
        h.setCategory = record("setCategory", true);
        h.designProperty = [this](CommandContext& ctx) { record(ctx.command, true)(ctx); };
        h.importResources = record("importResources");
        h.showSettings = [](CommandContext&) { throw std::runtime_error("Disk full"); };
    }
    // Logs the handler's name with the key and the argument, or the argument's list items.
    CommandHandler record(std::string name, bool list = false) {
        return [this, name, list](CommandContext& ctx) {
            log.push_back(name + ":" + std::to_string(ctx.key) + ":" + (list ? "" : ctx.argument));
            for (const auto& item : list ? ctx.list : std::vector<std::string>{})
                log.back() += "|" + item;
        };
    }
    bool go(std::string_view paneName, const std::string& address) {
        Dispatcher d(app, h);
        return d.beforeNavigate(std::string(paneName), address);
    }
    std::string lastMessage() const {
        return host.messages.empty() ? "" : host.messages.back().text;
    }

    platform::EventLoop loop;
    FakeHost host;
    AppState app;
    std::vector<std::string> log; // which named handler ran with which key and argument
    CommandHandlers h;
};

TEST_F(Dispatch, CommandsReachTheirHandlersOrGiveAClearMessage) {
    struct Case {
        std::string command;
        std::string call;         // handlers run, panes navigated and help windows opened
        std::string message = {}; // "" when none was shown
        std::string_view pane = pane::Content;
    } cases[] = {
        // The longer command wins over its prefix.
        {"<$editlink-7$>", "editLink:7:7"},
        {"<$deletelink-7$>", "deleteLink:7:7"},
        {"<$edit-8$>", "editPost:8:8"},
        {"<$delete-9", "deletePost:9:9"},
        // Arguments with or without the closing mark; an unquoted href ends at ">".
        {"<$shownext-3", "showPostSet:3:3:3"},
        {"<$shownext-3$>", "showPostSet:3:3:3"},
        {"<$showprev-2$>", "showPostSet:2:2:2"},
        {"<$jumptoset-2$", "showPostSet:2:2$:11"},
        {"<$jumptoset-1$>", "showPostSet:1:1:1"},
        // Keys are read like Val and widened to 32 bits.
        {"<$edit-40000$>", "editPost:40000:40000"},
        {"<$edit-12abc$>", "editPost:12:12abc"},
        {"<$open-12$>", "openSite:12:12", "", pane::Frontpage}, // after the last dash
        // Lists are split at commas.
        {"<$setCategory-5,Long walks,3$>", "setCategory:0:|5|Long walks|3"},
        {"<$textfont,Verdana,12px,title$>", "<$textfont:0:|Verdana|12px|title", "",
         pane::TemplateDesigner},
        {"<$font,red,content", "<$font:0:|red|content", "", pane::TemplateDesigner},
        // Outside the front page the case must match; there it need not.
        {"<$EDIT-3$>", "", "This screen has no page command \"<$EDIT-3$>\"."},
        {"<$NEWLOG$>", "webFrontpage/0 /data/my-app/html/newlog.html", "", pane::Frontpage},
        {"<$NEWLOG$>", "", "This screen has no page command \"<$NEWLOG$>\"."},
        {"<$$>", "", "This screen has no page command \"<$$>\"."},
        {"<$-5$>", "", "This screen has no page command \"<$-5$>\"."},
        {"<$edit-abc$>", "", "The page command \"<$edit-abc$>\" needs a number."},
        {"<$edit-$>", "", "The page command \"<$edit-$>\" needs a number."},
        {"<$edit-99999999999$>", "",
         "The number in the page command \"<$edit-99999999999$>\" is out of range."},
        {"<$edit--2147483649$>", "",
         "The number in the page command \"<$edit--2147483649$>\" is out of range."},
        // A failing handler is reported, and the program goes on with the next command.
        {"<$settings$>", "", "Disk full", pane::TempEdit},
        {"<$edit-1$>", "editPost:1:1"},
        // An unfinished handler says so and stops its row: the site list is not shown.
        {"<$openlog$>", "", std::string(kNotAvailable), pane::Frontpage},
        {"<$import$>", "importResources:0:"}, // online only
        // Help in capitals: one pane of each help page (the editor's: see the browser test).
        {"<$HELP$>", "/help/helpsetupspecific.html", "", pane::Setup},
        {"<$HELP$>", "/help/helptemplatespecific.html", "", pane::TemplateSelect},
        {"<$HELP$>", "/forum/index.php", "", pane::SiteSetup},
    };
    for (const auto& c : cases) {
        log.clear();
        host.messages.clear();
        host.navigations.clear();
        host.openedWindows.clear();
        EXPECT_TRUE(go(c.pane, "/data/my-app/html/" + c.command)) << c.command;
        for (const auto& [where, address] : host.navigations)
            log.push_back(where.pane + "/" + std::to_string(where.frames.at(0)) + " " + address);
        for (const auto& [address, window] : host.openedWindows) {
            log.push_back(address.substr(std::string_view("http://service.test").size()));
            EXPECT_EQ(window, "vellumitedisplay");
        }
        std::string ran;
        for (const auto& call : log)
            ran += (ran.empty() ? "" : " ") + call;
        EXPECT_EQ(ran, c.call) << c.pane << " " << c.command;
        EXPECT_EQ(lastMessage(), c.message) << c.pane << " " << c.command;
    }
    // An address without a command is followed.
    EXPECT_FALSE(go(pane::Content, "/data/my-app/html/contentedit.html"));
    EXPECT_FALSE(go(pane::Frontpage, "/data/my-app/html/template-frontpage.html"));
}

// Offline help: see the browser test of the front page.
TEST_F(Dispatch, OfflineOnlineOnlyCommandsShowOnlyTheMessage) {
    app.settings.online = false;
    EXPECT_TRUE(go(pane::Content, "/x/<$import$>"));
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text + "|" + host.messages[0].title,
              std::string(kOfflinePrompt) + "|" + std::string(kOfflineTitle));
}

TEST_F(Dispatch, CancelSendsThePaneBackAndCloseClosesTheSite) {
    app.logId = 4;
    EXPECT_TRUE(go(pane::TempEdit, "/h/<$cancel$>"));
    EXPECT_EQ(host.paneOrder.front(), "webTempEdit");
    EXPECT_TRUE(go(pane::Setup, "/h/<$close$>")); // the rest of closing: see the browser tests
    EXPECT_EQ(app.logId, -1);
}

TEST_F(Dispatch, AlertsLoginEscapesTheCredentials) {
    app.settings.alertsUrl = "http://alerts.test";
    host.doc("webContent")
        .form("importform", {{"importusername", "ann"}, {"importpassword", "a&b c"}});
    EXPECT_TRUE(go(pane::Content, "/h/<$settings$>"));
    ASSERT_FALSE(host.navigations.empty());
    EXPECT_EQ(host.navigations.back().second,
              "http://alerts.test/login.cgi?username=ann&password=a%26b%20c");
    host.doc("webContent").field("importform", "importpassword").value = "";
    EXPECT_TRUE(go(pane::Content, "/h/<$settings$>"));
    EXPECT_EQ(host.navigations.back().second, "http://alerts.test/");
}

TEST(CommandTables, EveryPaneHasATableAndEveryRowAnAction) {
    for (auto name : kPaneNames) {
        auto table = commandTable(name);
        EXPECT_FALSE(table.empty()) << name;
        for (const auto& r : table)
            EXPECT_TRUE(r.action.isSet()) << name << " " << r.text;
    }
}

} // namespace
} // namespace vellumite
