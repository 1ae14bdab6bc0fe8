// The settings screen on a real database through FakeHost: the page, the forms, view site.
#include "core/fill_engine.h"
#include "core/panes.h"
#include "shell/settings_screen.h"
#include "shell/shell_commands.h"
#include "support/app_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::Value;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

TEST(SettingsValues, TypedValuesAreNormalised) {
    const std::tuple<std::string_view, std::string_view, std::string_view> folders[] = {
        {"www/", "/www/", "/www"}, {"/www", "/www", "/www"}, {"/", "/", ""}, {"", "/", ""},
        {"a/b/", "/a/b/", "/a/b"}, {"//", "//", "/"},
    };
    for (const auto& [typed, shown, stored] : folders) {
        EXPECT_EQ(ftpFolderWithSlash(typed), shown) << typed;
        EXPECT_EQ(storedFtpFolder(typed), stored) << typed;
    }
    const std::pair<std::string_view, std::string_view> addresses[] = {
        {"www.example.org", "http://www.example.org"},
        {"http://www.example.org/", "http://www.example.org/"},
        {"https://secure.example.org", "https://secure.example.org"}, // not "http://https://..."
        {"HTTPS://LOUD.EXAMPLE.ORG", "HTTPS://LOUD.EXAMPLE.ORG"},
        {"example.org/?from=http://elsewhere", "http://example.org/?from=http://elsewhere"},
        {"", "http://"},
    };
    for (const auto& [typed, stored] : addresses)
        EXPECT_EQ(storedSiteAddress(typed), stored) << typed;
    EXPECT_EQ(storedKeywords("joe's, o'brien''s"), "joe s, o brien  s");
}

class SettingsScreen : public ::testing::Test {
protected:
    SettingsScreen() {
        site = f.addSite("My site", {{"ftpusername", "joe"},
                                     {"ftppassword", "pw\"1"},
                                     {"ftplocation", "ftp.example.org"},
                                     {"PublishBackwards", true}});
        f.app.logId = site;
        f.app.displayTitle = "My site";
        installShellCommands(f.handlers);
        f.handlers.buildCategoryPage = [this](CommandContext&) { ++categoryPages; };
        f.handlers.showEditor = [this](CommandContext&) { ++editors; };
    }

    // Through the handler table, as the settings pane's commands reach the screen.
    std::string showPage() {
        auto ctx = f.context(pane::Setup);
        f.handlers.showSettings(ctx);
        return f.page("setup.html");
    }
    void saveSettings() {
        auto ctx = f.context(pane::Setup);
        f.handlers.saveSettings(ctx);
    }
    Value field(const std::string& name) { return f.siteField(site, name); }
    void setField(const std::string& name, Value value) {
        f.db.execute("UPDATE VellumiteLog SET " + name + "=? WHERE LogID=?", {value, site});
    }

    testing_support::AppFixture f;
    std::int32_t site = 0;
    int categoryPages = 0;
    int editors = 0;
};

TEST_F(SettingsScreen, PageShowsEverySettingAsTextAndComesToTheFront) {
    setField("CopyrightNotice", "\"><img src=x onerror=alert(1)>");
    setField("LinkTitle", "</textarea><script>alert(2)</script>");
    f.app.displayTitle = "<b>bold</b>";
    std::string page = showPage();
    for (std::string_view shown : {"value=\"pw&quot;1\"", "name=\"publishorder\" checked>",
                                   "value=\"&quot;&gt;&lt;img src=x onerror=alert(1)&gt;\""})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    for (std::string_view absent :
         {"<$Vellumite", "<$Copyright$>", "<$publishorder$>", "<img", "<script", "<b>bold"})
        EXPECT_EQ(page.find(absent), std::string::npos) << absent;
    EXPECT_EQ(f.host.frontPane(), pane::Setup);
    EXPECT_EQ(categoryPages, 1);
    EXPECT_EQ(f.host.location({std::string(pane::Setup), {0}}),
              f.app.htmlFile("categorycreate.html"));

    // A stored value that looks like a later tag stays as typed.
    setField("ftpusername", "<$VellumiteUserPassword$>");
    EXPECT_NE(showPage().find("value=\"&lt;$VellumiteUserPassword$&gt;\""), std::string::npos);

    // The directory entry is offered once the service has registered the site.
    const std::string_view publishFirst = "You must publish before you can setup";
    const std::string_view editEntry = "<a href=\"<$siteSetup$>\">Edit directory entry on";
    const std::pair<Value, std::string_view> cases[] = {
        {Value(), publishFirst}, {0, publishFirst}, {"", publishFirst}, {5, editEntry}};
    for (const auto& [serverId, shown] : cases) {
        setField("LogServerID", serverId);
        EXPECT_NE(showPage().find(shown), std::string::npos) << serverId.toText();
    }
}

TEST_F(SettingsScreen, TheConnectionChoiceShowsTheSchemeInFrontOfTheServer) {
    const std::tuple<Value, std::string, std::string> cases[] = {
        {"ftp.example.org", "ftp.example.org", "plain"},
        {"ftpes://ftp.example.org:2121", "ftp.example.org:2121", "tls"},
        {Value(), "", "tls"}}; // a new site
    for (const auto& [stored, shown, selected] : cases) {
        setField("ftplocation", stored);
        const std::string page = showPage();
        EXPECT_NE(page.find("name=\"VellumiteftpAddress\" value=\"" + shown + "\""),
                  std::string::npos);
        EXPECT_NE(page.find("value=\"" + selected + "\" selected>"), std::string::npos) << selected;
        EXPECT_EQ(page.find("\" selected>"), page.rfind("\" selected>")) << "one choice";
    }
}

TEST_F(SettingsScreen, AClosedDatabaseIsOpenedAgainAndFailuresAreReported) {
    f.app.database.reset();
    EXPECT_NE(showPage().find("value=\"ftp.example.org\""), std::string::npos);
    ASSERT_TRUE(f.app.database && f.app.database->isOpen());

    // One that cannot be opened is reported, and the screen stays as it was.
    f.app.database.reset();
    std::filesystem::rename(f.dir / "vellumite.db", f.dir / "moved.db");
    EXPECT_THROW(subShowSetup(f.app), platform::DbError);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text.rfind("error [3024:", 0), 0u) << f.host.messages[0].text;

    std::filesystem::rename(f.dir / "moved.db", f.dir / "vellumite.db");
    std::filesystem::remove(f.dir / "html/template-setup.html");
    EXPECT_THAT([&] { subShowSetup(f.app); },
                ThrowsMessage<TemplateError>(HasSubstr("template-setup.html")));
}

// What a whole form stores: see the browser test of sites.
TEST_F(SettingsScreen, SaveStoresOnlyAWholeForm) {
    f.host.doc(std::string(pane::Setup))
        .form(std::string(kSetupForm), {{"VellumiteUsername", "ann"}});
    EXPECT_THROW(saveSettings(), platform::DomError); // the page lacks fields: nothing stored
    EXPECT_EQ(field("ftpusername"), Value("joe"));
    EXPECT_EQ(editors, 0);

    EXPECT_TRUE(settingsComplete(f.app));
    for (Value none : {Value(), Value("")}) {
        setField("ftplocation", none);
        EXPECT_FALSE(settingsComplete(f.app));
    }
}

TEST_F(SettingsScreen, RecentListCountIsStoredOnlyWhenItIsANumber) {
    auto& frame = f.host.doc(platform::DocPath{std::string(pane::Content), {2}});
    frame.form("recentform", {{"recentcount", ""}, {"other", "99"}});
    // Typed, and stored; Null: refused, the stored 10 stays.
    const std::pair<std::string, Value> cases[] = {
        {"15", 15},  {" 20 ", 20},  {"0", 0},   {"32767", 32767}, {"", {}},
        {"abc", {}}, {"12abc", {}}, {"-1", {}}, {"40000", {}},    {"99999999999", {}}};
    for (const auto& [typed, stored] : cases) {
        setField("recentpostnum", 10);
        f.host.messages.clear();
        frame.field("recentform", "recentcount").value = typed;
        subSaveRecentSettings(f.app);
        EXPECT_EQ(field("recentpostnum"), stored.isNull() ? Value(10) : stored) << typed;
        EXPECT_EQ(f.host.messages.size(), stored.isNull() ? 1u : 0u) << typed;
    }
}

TEST_F(SettingsScreen, ViewSiteOpensOnlyAWebAddress) {
    // The stored address, and whether it opens (else the "URL not set!" message instead).
    const std::pair<Value, bool> cases[] = {{"http://example.org/", true},
                                            {"https://example.org", true},
                                            {Value(), false},
                                            {"", false},
                                            {"http://", false},
                                            {"https://", false},
                                            {"javascript:alert(1)//http://", false},
                                            {"file:///etc/passwd", false}};
    for (const auto& [stored, opens] : cases) {
        setField("pageurl", stored);
        f.host.openedWindows.clear();
        f.host.messages.clear();
        subViewUserSite(f.app);
        const std::string text = stored.toText();
        using Opened = std::vector<std::pair<std::string, std::string>>;
        const Opened expected = opens ? Opened{{text, "vellumitedisplay"}} : Opened{};
        EXPECT_EQ(f.host.openedWindows, expected) << text;
        EXPECT_EQ(f.host.messages.size(), opens ? 0u : 1u) << text;
    }
}

} // namespace
} // namespace vellumite
