// The dispatcher against its tables: matching order and case, argument cutting, refusals.
#include "shell/page_commands.h"
#include "shell/panes.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using testing::FakeHost;

class Dispatch : public ::testing::Test {
protected:
    Dispatch()
        : host({kPaneNames.begin(), kPaneNames.end()}, &loop),
          app(loop, host, "/data/my-app", online()) {
        h = notAvailableHandlers();
        h.editLink = record("editLink");
        h.editPost = record("editPost");
        h.deleteLink = record("deleteLink");
        h.deletePost = record("deletePost");
        h.showPostSet = [this](CommandContext& ctx) {
            log.push_back("showPostSet:" + std::to_string(ctx.key) + ":" +
                          std::to_string(app.postListPage));
        };
        h.openSite = record("openSite");
        h.setCategory = [this](CommandContext& ctx) {
            log.push_back("setCategory:" + ctx.list.at(0) + "|" + ctx.list.at(1) + "|" +
                          ctx.list.at(2));
        };
        h.designProperty = [this](CommandContext& ctx) {
            std::string joined = ctx.command;
            for (const auto& v : ctx.list)
                joined += "|" + v;
            log.push_back(joined);
        };
        h.importResources = record("importResources");
        h.showSettings = [](CommandContext&) { throw std::runtime_error("Disk full"); };
    }
    CommandHandler record(std::string name) {
        return [this, name](CommandContext& ctx) {
            log.push_back(name + ":" + std::to_string(ctx.key) + ":" + ctx.argument);
        };
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
    std::vector<std::string> log; // which named handler ran with which key and argument
    CommandHandlers h;
};

TEST_F(Dispatch, CommandsReachTheirHandlersOrGiveAClearMessage) {
    struct Case {
        std::string_view pane;
        std::string address;
        std::string call;    // the handler's record, "" when none ran
        std::string message; // "" when none was shown
    } cases[] = {
        // The longer command wins over its prefix.
        {pane::Content, "/h/<$editlink-7$>", "editLink:7:7", ""},
        {pane::Content, "/h/<$deletelink-7$>", "deleteLink:7:7", ""},
        {pane::Content, "/h/<$edit-8$>", "editPost:8:8", ""},
        {pane::Content, "/h/<$delete-9", "deletePost:9:9", ""},
        // Arguments with or without the closing mark; an unquoted href ends at ">".
        {pane::Content, "/h/<$shownext-3", "showPostSet:3:3", ""},
        {pane::Content, "/h/<$shownext-3$>", "showPostSet:3:3", ""},
        {pane::Content, "/h/<$showprev-2$>", "showPostSet:2:2", ""},
        {pane::Content, "/h/<$jumptoset-2$", "showPostSet:2:11", ""},
        {pane::Content, "/h/<$jumptoset-1$>", "showPostSet:1:1", ""},
        // Keys are read like Val and widened to 32 bits.
        {pane::Content, "/h/<$edit-40000$>", "editPost:40000:40000", ""},
        {pane::Content, "/h/<$edit-12abc$>", "editPost:12:12abc", ""},
        {pane::Frontpage, "/h/<$open-12$>", "openSite:12:12", ""}, // after the last dash
        // Lists are split at commas.
        {pane::Content, "/h/<$setCategory-5,Long walks,3$>", "setCategory:5|Long walks|3", ""},
        {pane::TemplateDesigner, "/h/<$textfont,Verdana,12px,title$>",
         "<$textfont|Verdana|12px|title", ""},
        {pane::TemplateDesigner, "/h/<$font,red,content", "<$font|red|content", ""},
        // Outside the front page the case must match.
        {pane::Content, "/h/<$EDIT-3$>", "", "This screen has no page command \"<$EDIT-3$>\"."},
        {pane::Content, "/h/<$$>", "", "This screen has no page command \"<$$>\"."},
        {pane::Content, "/h/<$-5$>", "", "This screen has no page command \"<$-5$>\"."},
        {pane::Content, "/h/<$edit-abc$>", "", "The page command \"<$edit-abc$>\" needs a number."},
        {pane::Content, "/h/<$edit-$>", "", "The page command \"<$edit-$>\" needs a number."},
        {pane::Content, "/h/<$edit-99999999999$>", "",
         "The number in the page command \"<$edit-99999999999$>\" is out of range."},
        {pane::Content, "/h/<$edit--2147483649$>", "",
         "The number in the page command \"<$edit--2147483649$>\" is out of range."},
        // A failing handler is reported, and the program goes on with the next command.
        {pane::TempEdit, "/h/<$settings$>", "", "Disk full"},
        {pane::Content, "/h/<$edit-1$>", "editPost:1:1", ""},
    };
    for (const auto& c : cases) {
        log.clear();
        host.messages.clear();
        EXPECT_TRUE(go(c.pane, c.address)) << c.address;
        std::string ran;
        for (const auto& call : log)
            ran += (ran.empty() ? "" : " ") + call;
        EXPECT_EQ(ran, c.call) << c.address;
        EXPECT_EQ(lastMessage(), c.message) << c.address;
    }
    // An address without a command is followed.
    EXPECT_FALSE(go(pane::Content, "/data/my-app/html/contentedit.html"));
    EXPECT_FALSE(go(pane::Frontpage, "/data/my-app/html/template-frontpage.html"));
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

TEST_F(Dispatch, OfflineHelpAndOnlineOnlyCommandsShowOnlyTheMessage) {
    app.settings.online = false;
    EXPECT_TRUE(go(pane::Content, "/x/<$help$>"));
    EXPECT_TRUE(go(pane::Content, "/x/<$import$>"));
    EXPECT_TRUE(host.openedWindows.empty());
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].text, kOfflinePrompt);
    EXPECT_EQ(host.messages[1].title, kOfflineTitle);
    app.settings.online = true;
    EXPECT_TRUE(go(pane::Content, "/x/<$import$>"));
    EXPECT_EQ(log, std::vector<std::string>{"importResources:0:"});
}

TEST_F(Dispatch, NewSiteInCapitalsOnTheFrontPage) {
    EXPECT_TRUE(go(pane::Frontpage, "/data/my-app/html/<$NEWLOG$>"));
    ASSERT_EQ(host.navigations.size(), 1u);
    EXPECT_EQ(host.navigations[0].first, (platform::DocPath{"webFrontpage", {0}}));
    EXPECT_EQ(host.navigations[0].second, "/data/my-app/html/newlog.html");
}
TEST_F(Dispatch, UnfinishedHandlerSaysSoAndStopsItsRow) {
    EXPECT_TRUE(go(pane::Frontpage, "/h/<$openlog$>"));
    EXPECT_EQ(lastMessage(), kNotAvailable);
    EXPECT_TRUE(host.navigations.empty()); // the site list was not built, so it is not shown
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
