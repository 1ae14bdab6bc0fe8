// The dispatcher against its tables: matching order and case, argument cutting, refusals.
#include "shell/page_commands.h"
#include "shell/panes.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using testing::FakeHost;

std::vector<std::string> paneList() {
    return {kPaneNames.begin(), kPaneNames.end()};
}

// Records which named handler ran with which argument.
struct Calls {
    std::vector<std::string> log;
    CommandHandler record(std::string name) {
        return [this, name](CommandContext& ctx) {
            log.push_back(name + ":" + std::to_string(ctx.key) + ":" + ctx.argument);
        };
    }
};

class Dispatch : public ::testing::Test {
protected:
    Dispatch() : host(paneList(), &loop), app(loop, host, "/data/my-app", online()) {
        h = notAvailableHandlers();
        h.editLink = calls.record("editLink");
        h.editPost = calls.record("editPost");
        h.deleteLink = calls.record("deleteLink");
        h.deletePost = calls.record("deletePost");
        h.showPostSet = calls.record("showPostSet");
        h.openSite = calls.record("openSite");
        h.setCategory = [this](CommandContext& ctx) {
            calls.log.push_back("setCategory:" + ctx.list.at(0) + "|" + ctx.list.at(1) + "|" +
                                ctx.list.at(2));
        };
        h.designProperty = [this](CommandContext& ctx) {
            std::string joined = ctx.command;
            for (const auto& v : ctx.list)
                joined += "|" + v;
            calls.log.push_back(joined);
        };
        h.importResources = calls.record("importResources");
        h.showSettings = [](CommandContext&) { throw std::runtime_error("Disk full"); };
    }
    static Settings online() {
        Settings s;
        s.online = true;
        s.serviceUrl = "http://service.test/";
        return s;
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
    Calls calls;
    CommandHandlers h;
};

TEST_F(Dispatch, LongerCommandWinsOverItsPrefix) {
    EXPECT_TRUE(go(pane::Content, "/data/my-app/html/<$editlink-7$>"));
    EXPECT_TRUE(go(pane::Content, "/data/my-app/html/<$deletelink-7$>"));
    EXPECT_TRUE(go(pane::Content, "/data/my-app/html/<$edit-8$>"));
    EXPECT_TRUE(go(pane::Content, "/data/my-app/html/<$delete-9"));
    EXPECT_EQ(calls.log, (std::vector<std::string>{"editLink:7:7", "deleteLink:7:7", "editPost:8:8",
                                                   "deletePost:9:9"}));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Dispatch, ArgumentWithOrWithoutClosingMark) {
    struct Case {
        std::string address;
        std::int32_t set;
        std::int32_t page;
    };
    for (const Case& c : std::vector<Case>{
             {"/h/<$shownext-3", 3, 3},
             {"/h/<$shownext-3$>", 3, 3},
             {"/h/<$showprev-2$>", 2, 2},
             {"/h/<$jumptoset-2$", 2, 11}, // an unquoted href ends at ">"
             {"/h/<$jumptoset-1$>", 1, 1},
         }) {
        calls.log.clear();
        EXPECT_TRUE(go(pane::Content, c.address)) << c.address;
        ASSERT_EQ(calls.log.size(), 1u) << c.address;
        EXPECT_EQ(calls.log[0].substr(0, calls.log[0].find(':', 12)),
                  "showPostSet:" + std::to_string(c.set))
            << c.address;
        EXPECT_EQ(app.postListPage, c.page) << c.address;
    }
}

TEST_F(Dispatch, HelpInCapitalsInEveryPaneWithHelp) {
    const std::vector<std::pair<std::string_view, std::string>> helpPages = {
        {pane::Content, "/help/helpcontentspecific.html"},
        {pane::Setup, "/help/helpsetupspecific.html"},
        {pane::TempEdit, "/help/helptemplatespecific.html"},
        {pane::TemplateSelect, "/help/helptemplatespecific.html"},
        {pane::TemplateDesigner, "/forum/index.php"},
        {pane::ManageResources, "/forum/index.php"},
        {pane::SiteSetup, "/forum/index.php"},
    };
    for (const auto& [paneName, path] : helpPages) {
        host.openedWindows.clear();
        EXPECT_TRUE(go(paneName, "/data/my-app/html/<$HELP$>")) << paneName;
        ASSERT_EQ(host.openedWindows.size(), 1u) << paneName;
        EXPECT_EQ(host.openedWindows[0].first, "http://service.test" + path);
        EXPECT_EQ(host.openedWindows[0].second, "vellumitedisplay");
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Dispatch, HelpOfflineShowsOnlyTheMessage) {
    app.settings.online = false;
    EXPECT_TRUE(go(pane::Content, "/x/<$help$>"));
    EXPECT_TRUE(host.openedWindows.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kOfflinePrompt);
    EXPECT_EQ(host.messages[0].title, kOfflineTitle);
}

TEST_F(Dispatch, OnlineOnlyCommandOfflineRunsNothing) {
    app.settings.online = false;
    EXPECT_TRUE(go(pane::Content, "/x/<$import$>"));
    EXPECT_TRUE(calls.log.empty());
    EXPECT_EQ(lastMessage(), kOfflinePrompt);
    app.settings.online = true;
    EXPECT_TRUE(go(pane::Content, "/x/<$import$>"));
    EXPECT_EQ(calls.log, std::vector<std::string>{"importResources:0:"});
}

TEST_F(Dispatch, CapitalsMatchOnTheFrontPageOnly) {
    EXPECT_TRUE(go(pane::Frontpage, "/data/my-app/html/<$NEWLOG$>"));
    ASSERT_EQ(host.navigations.size(), 1u);
    EXPECT_EQ(host.navigations[0].first, (platform::DocPath{"webFrontpage", {0}}));
    EXPECT_EQ(host.navigations[0].second, "/data/my-app/html/newlog.html");

    // Elsewhere the case must match: this is no command of the content pane.
    EXPECT_TRUE(go(pane::Content, "/data/my-app/html/<$EDIT-3$>"));
    EXPECT_TRUE(calls.log.empty());
    EXPECT_EQ(lastMessage(), "This screen has no page command \"<$EDIT-3$>\".");
}

TEST_F(Dispatch, FrontPageOpenTakesTheTextAfterTheLastDash) {
    EXPECT_TRUE(go(pane::Frontpage, "/data/my-app/html/<$open-12$>"));
    EXPECT_EQ(calls.log, std::vector<std::string>{"openSite:12:12"});
}

TEST_F(Dispatch, MalformedCommandsGiveAClearMessage) {
    struct Case {
        std::string address;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"/h/<$$>", "This screen has no page command \"<$$>\"."},
             {"/h/<$-5$>", "This screen has no page command \"<$-5$>\"."},
             {"/h/<$edit-abc$>", "The page command \"<$edit-abc$>\" needs a number."},
             {"/h/<$edit-$>", "The page command \"<$edit-$>\" needs a number."},
             {"/h/<$edit-99999999999$>",
              "The number in the page command \"<$edit-99999999999$>\" is out of range."},
             {"/h/<$edit--2147483649$>",
              "The number in the page command \"<$edit--2147483649$>\" is out of range."},
         }) {
        EXPECT_TRUE(go(pane::Content, c.address)) << c.address;
        EXPECT_EQ(lastMessage(), c.message) << c.address;
    }
    EXPECT_TRUE(calls.log.empty());
}

TEST_F(Dispatch, KeysAreWidenedTo32Bits) {
    EXPECT_TRUE(go(pane::Content, "/h/<$edit-40000$>"));
    EXPECT_TRUE(go(pane::Content, "/h/<$edit-12abc$>"));
    EXPECT_EQ(calls.log, (std::vector<std::string>{"editPost:40000:40000", "editPost:12:12abc"}));
}

TEST_F(Dispatch, AddressWithoutCommandIsFollowed) {
    EXPECT_FALSE(go(pane::Content, "/data/my-app/html/contentedit.html"));
    EXPECT_FALSE(go(pane::Frontpage, "/data/my-app/html/template-frontpage.html"));
    EXPECT_TRUE(calls.log.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Dispatch, RecentlyUpdatedFrameIsBlankedOnlyOffline) {
    EXPECT_FALSE(go(pane::Frontpage, "/data/my-app/html/recentlyupdatedClient.php"));
    EXPECT_TRUE(host.navigations.empty());
    app.settings.online = false;
    EXPECT_TRUE(go(pane::Frontpage, "/data/my-app/html/RecentlyUpdatedClient.php"));
    ASSERT_EQ(host.navigations.size(), 1u);
    EXPECT_EQ(host.navigations[0].first, (platform::DocPath{"webFrontpage", {3}}));
    EXPECT_EQ(host.navigations[0].second, "about:blank");
}

TEST_F(Dispatch, ListsAreSplitAtCommas) {
    EXPECT_TRUE(go(pane::Content, "/h/<$setCategory-5,Long walks,3$>"));
    EXPECT_TRUE(go(pane::TemplateDesigner, "/h/<$textfont,Verdana,12px,title$>"));
    EXPECT_TRUE(go(pane::TemplateDesigner, "/h/<$font,red,content"));
    EXPECT_EQ(calls.log,
              (std::vector<std::string>{"setCategory:5|Long walks|3",
                                        "<$textfont|Verdana|12px|title", "<$font|red|content"}));
}

TEST_F(Dispatch, UnfinishedHandlerSaysSoAndStopsItsRow) {
    EXPECT_TRUE(go(pane::Frontpage, "/h/<$openlog$>"));
    EXPECT_EQ(lastMessage(), kNotAvailable);
    EXPECT_TRUE(host.navigations.empty()); // the site list was not built, so it is not shown
}

TEST_F(Dispatch, HandlerFailureIsShownAndTheProgramGoesOn) {
    EXPECT_TRUE(go(pane::TempEdit, "/h/<$settings$>"));
    EXPECT_EQ(lastMessage(), "Disk full");
    EXPECT_TRUE(go(pane::Content, "/h/<$edit-1$>"));
    EXPECT_EQ(calls.log, std::vector<std::string>{"editPost:1:1"});
}

TEST_F(Dispatch, CloseAndCancelMoveThePanes) {
    app.logId = 4;
    host.setCaption("Vellumite - Mine");
    EXPECT_TRUE(go(pane::TempEdit, "/h/<$cancel$>"));
    EXPECT_EQ(host.paneOrder.front(), "webTempEdit");
    EXPECT_TRUE(go(pane::Setup, "/h/<$close$>"));
    EXPECT_EQ(app.logId, -1);
    EXPECT_EQ(host.frontPane(), "webFrontpage");
    EXPECT_EQ(host.location({"webFrontpage", {}}), "/data/my-app/html/template-frontpage.html");
    EXPECT_EQ(host.caption(), "Vellumite Editor");
}

TEST_F(Dispatch, QuitEndsAtOnce) {
    bool quit = false;
    app.quitNow = [&] { quit = true; };
    EXPECT_TRUE(go(pane::Frontpage, "/h/<$QUIT$>"));
    EXPECT_TRUE(quit);
}

TEST_F(Dispatch, NewSiteFormReadsTheTypedName) {
    host.doc(platform::DocPath{"webFrontpage", {0}}).form("newlog", {{"newLogName", "My Log"}});
    h.createSite = calls.record("createSite");
    EXPECT_TRUE(go(pane::Frontpage, "/h/newlog.html?newLogName=My+Log"));
    EXPECT_EQ(calls.log, std::vector<std::string>{"createSite:0:My Log"});
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

TEST(CommandTables, EveryPaneHasATableAndEveryRowAHandler) {
    CommandHandlers h = notAvailableHandlers();
    for (auto name : kPaneNames) {
        auto table = commandTable(name, h);
        EXPECT_FALSE(table.empty()) << name;
        for (const auto& r : table)
            EXPECT_TRUE(static_cast<bool>(r.action)) << name << " " << r.text;
    }
}

} // namespace
} // namespace vellumite
