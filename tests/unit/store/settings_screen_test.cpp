// The settings screen on a real database through FakeHost: the page, the three forms, view site.
#include "shell/mod_encrypt.h"
#include "shell/panes.h"
#include "store/settings_screen.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::Value;

TEST(SettingsValues, FtpFolderGetsOneLeadingSlashAndNoTrailingOne) {
    struct Case {
        std::string_view typed, shown, stored;
    } cases[] = {
        {"www/", "/www/", "/www"}, {"/www", "/www", "/www"}, {"/", "/", ""}, {"", "/", ""},
        {"a/b/", "/a/b/", "/a/b"}, {"//", "//", "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ftpFolderWithSlash(c.typed), c.shown) << c.typed;
        EXPECT_EQ(storedFtpFolder(c.typed), c.stored) << c.typed;
    }
}

TEST(SettingsValues, SiteAddressGetsAWebSchemeWhenItHasNone) {
    struct Case {
        std::string_view typed, stored;
    } cases[] = {
        {"www.example.org", "http://www.example.org"},
        {"http://www.example.org/", "http://www.example.org/"},
        {"https://secure.example.org", "https://secure.example.org"}, // not "http://https://..."
        {"HTTPS://LOUD.EXAMPLE.ORG", "HTTPS://LOUD.EXAMPLE.ORG"},
        {"Http://Mixed.example.org", "Http://Mixed.example.org"},
        {"example.org/?from=http://elsewhere", "http://example.org/?from=http://elsewhere"},
        {"", "http://"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storedSiteAddress(c.typed), c.stored) << c.typed;
}

TEST(SettingsValues, KeywordsLoseTheirApostrophes) {
    EXPECT_EQ(storedKeywords("joe's, o'brien''s"), "joe s, o brien  s");
}

class SettingsScreen : public ::testing::Test {
protected:
    SettingsScreen() {
        site = f.addSite("My site", {{"ftpusername", "joe"},
                                     {"ftppassword", "pw\"1"},
                                     {"ftplocation", "ftp.example.org"},
                                     {"ftppath", "/www"},
                                     {"pageurl", "http://example.org"},
                                     {"postperpage", 7},
                                     {"TotalPublishPosts", 12},
                                     {"PublishBackwards", true},
                                     {"ftppassive", false},
                                     {"showDate", true},
                                     {"logsearchterms", "cats dogs"},
                                     {"recentpostnum", 10}});
        f.app.logId = site;
        f.app.displayTitle = "My site";
    }

    std::string showPage() {
        auto ctx = f.context(pane::Setup);
        subShowSetup(ctx, [this](CommandContext&) { ++categoryPages; });
        return f.page("setup.html");
    }
    // The settings form as the page holds it after the user typed.
    testing::FakeDocument& setupForm(const std::vector<std::pair<std::string, std::string>>& text,
                                     bool backwards, bool passive, bool advertise) {
        auto& doc = f.host.doc(std::string(pane::Setup));
        doc.form(std::string(kSetupForm), text);
        doc.form(std::string(kSetupForm),
                 {{"publishorder", ""}, {"VellumitePassiveMode", ""}, {"advertisehighlights", ""}});
        doc.field(std::string(kSetupForm), "publishorder").checked = backwards;
        doc.field(std::string(kSetupForm), "VellumitePassiveMode").checked = passive;
        doc.field(std::string(kSetupForm), "advertisehighlights").checked = advertise;
        return doc;
    }
    void saveSettings() {
        auto ctx = f.context(pane::Setup);
        subSaveSettings(ctx, [this](CommandContext&) { ++editors; });
    }
    Value field(const std::string& name) { return f.siteField(site, name); }

    testing_support::AppFixture f;
    std::int32_t site = 0;
    int categoryPages = 0;
    int editors = 0;
};

TEST_F(SettingsScreen, PageShowsEverySettingAndComesToTheFront) {
    std::string page = showPage();
    for (std::string_view shown :
         {"value=\"joe\"", "value=\"pw&quot;1\"", "value=\"ftp.example.org\"", "value=\"/www\"",
          "value=\"http://example.org\"", "value=\"7\"", "value=\"12\"", "value=\"cats dogs\"",
          "name=\"publishorder\" checked>", "name=\"VellumiteTimeStamps\" checked>",
          "name=\"VellumitePassiveMode\" >", "Password protect my site",
          "You must publish before you can setup your site details"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    for (std::string_view tag : {"<$Vellumite", "<$Copyright$>", "<$publishorder$>"})
        EXPECT_EQ(page.find(tag), std::string::npos) << tag;
    EXPECT_EQ(f.host.frontPane(), pane::Setup);
    EXPECT_EQ(f.host.location({std::string(pane::Setup), {}}), f.app.htmlFile("setup.html"));
    EXPECT_EQ(categoryPages, 1);
    EXPECT_EQ(f.host.location({std::string(pane::Setup), {0}}),
              f.app.htmlFile("categorycreate.html"));
}

TEST_F(SettingsScreen, PageShowsPasswordAndDirectoryStateOfTheSite) {
    const std::string_view publishFirst = "You must publish before you can setup";
    const std::string_view editEntry = "<a href=\"<$siteSetup$>\">Edit directory entry on";
    struct Case {
        Value serverId;
        std::string_view shown;
    } cases[] = {{Value(), publishFirst}, {0, publishFirst}, {"", publishFirst}, {5, editEntry}};
    for (const auto& c : cases) {
        f.db.execute("UPDATE VellumiteLog SET LogServerID=? WHERE LogID=?", {c.serverId, site});
        EXPECT_NE(showPage().find(c.shown), std::string::npos) << c.serverId.toText();
    }
    f.db.execute("UPDATE VellumiteLog SET password=? WHERE LogID=?",
                 {Scramble(kPasswordKey, "pw", 1), site});
    EXPECT_NE(
        showPage().find("<a href='<$Setpassword$>' name='passwordtext'>Change my password</a>"),
        std::string::npos);
}

TEST_F(SettingsScreen, StoredTextNeverBecomesMarkupOrAnotherTag) {
    f.db.execute("UPDATE VellumiteLog SET CopyrightNotice=?, ftpusername=?, LinkTitle=? "
                 "WHERE LogID=?",
                 {"\"><img src=x onerror=alert(1)>", "<$VellumiteUserPassword$>",
                  "</textarea><script>alert(2)</script>", site});
    f.app.displayTitle = "<b>bold</b>";
    std::string page = showPage();
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>bold"), std::string::npos);
    EXPECT_NE(page.find("value=\"&quot;&gt;&lt;img src=x onerror=alert(1)&gt;\""),
              std::string::npos);
    // The FTP password is not copied into the user name's box.
    EXPECT_NE(page.find("value=\"&lt;$VellumiteUserPassword$&gt;\""), std::string::npos);
}

TEST_F(SettingsScreen, AClosedDatabaseIsOpenedAgain) {
    f.app.database.reset();
    EXPECT_NE(showPage().find("value=\"ftp.example.org\""), std::string::npos);
    ASSERT_TRUE(f.app.database);
    EXPECT_TRUE(f.app.database->isOpen());

    // One that cannot be opened is reported, and the screen stays as it was.
    f.app.database.reset();
    std::filesystem::rename(f.dir / "vellumite.db", f.dir / "moved.db");
    auto ctx = f.context(pane::Setup);
    EXPECT_THROW(subShowSetup(ctx, {}), platform::DbError);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text.rfind("error [3024:", 0), 0u) << f.host.messages[0].text;
}

TEST_F(SettingsScreen, MissingTemplateIsReportedByName) {
    std::filesystem::remove(f.dir / "html/template-setup.html");
    auto ctx = f.context(pane::Setup);
    try {
        subShowSetup(ctx, {});
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("template-setup.html"), std::string::npos);
    }
}

TEST_F(SettingsScreen, SaveStoresTheFormNormalisedAndShowsTheEditor) {
    auto& doc = setupForm({{"VellumiteUsername", "ann"},
                           {"VellumiteftpPassword", "s3cret"},
                           {"VellumiteftpAddress", "ftp.ann.org"},
                           {"Vellumiteftppath", "blog/"},
                           {"VellumiteSiteURL", "https://ann.org"},
                           {"VellumiteContact", "ann@ann.org"},
                           {"totalposts", "25"},
                           {"postperpage", ""},
                           {"copyright", "(c) Ann"}},
                          false, true, true);
    saveSettings();
    EXPECT_EQ(field("ftpusername"), Value("ann"));
    EXPECT_EQ(field("ftppassword"), Value("s3cret"));
    EXPECT_EQ(field("ftplocation"), Value("ftp.ann.org"));
    EXPECT_EQ(field("ftppath"), Value("/blog"));
    EXPECT_EQ(doc.field(std::string(kSetupForm), "Vellumiteftppath").value, "/blog/");
    EXPECT_EQ(field("pageurl"), Value("https://ann.org"));
    EXPECT_EQ(field("contactemail"), Value("ann@ann.org"));
    EXPECT_EQ(field("TotalPublishPosts"), Value(25));
    EXPECT_EQ(field("postperpage"), Value(3)); // empty reads as 3
    EXPECT_EQ(field("CopyrightNotice"), Value("(c) Ann"));
    EXPECT_EQ(field("PublishBackwards"), Value(false));
    EXPECT_EQ(field("ftppassive"), Value(true));
    EXPECT_EQ(field("advertiseHighlights"), Value(true));
    EXPECT_EQ(editors, 1);
    EXPECT_TRUE(settingsComplete(f.app));
}

TEST_F(SettingsScreen, SaveOfAPageWithoutTheFormChangesNothing) {
    f.host.doc(std::string(pane::Setup))
        .form(std::string(kSetupForm), {{"VellumiteUsername", "x"}});
    EXPECT_THROW(saveSettings(), platform::DomError);
    EXPECT_EQ(field("ftpusername"), Value("joe"));
    EXPECT_EQ(editors, 0);
}

TEST_F(SettingsScreen, SettingsAreCompleteOnceAnFtpServerIsSet) {
    EXPECT_TRUE(settingsComplete(f.app));
    f.db.execute("UPDATE VellumiteLog SET ftplocation=NULL WHERE LogID=?", {site});
    EXPECT_FALSE(settingsComplete(f.app));
    f.db.execute("UPDATE VellumiteLog SET ftplocation='' WHERE LogID=?", {site});
    EXPECT_FALSE(settingsComplete(f.app));
}

TEST_F(SettingsScreen, TitlesAreStoredAndTheScreenStays) {
    auto& doc = f.host.doc(std::string(pane::Setup));
    doc.form(std::string(kTitlesForm), {{"VellumiteLinks", "Friends"},
                                        {"VellumiteHighlights", "Best"},
                                        {"VellumiteCategories", "Topics"},
                                        {"VellumiteBarTitle", "Bar"},
                                        {"VellumiteLogTitle", "Ann's log"},
                                        {"VellumiteContactMe", "Write"},
                                        {"Vellumitesearchterms", "ann's, cats'"},
                                        {"VellumiteTimeStamps", ""}});
    std::size_t navigations = f.host.navigations.size();
    auto ctx = f.context(pane::Setup);
    subSaveTitles(ctx);
    EXPECT_EQ(field("LinkTitle"), Value("Friends"));
    EXPECT_EQ(field("highlightTitle"), Value("Best"));
    EXPECT_EQ(field("categorytitle"), Value("Topics"));
    EXPECT_EQ(field("webBarTitle"), Value("Bar"));
    EXPECT_EQ(field("displayTitle"), Value("Ann's log"));
    EXPECT_EQ(field("contactmetext"), Value("Write"));
    EXPECT_EQ(field("logsearchterms"), Value("ann s, cats "));
    EXPECT_EQ(field("showDate"), Value(false));
    EXPECT_EQ(f.app.displayTitle, "Ann's log");
    EXPECT_EQ(f.host.navigations.size(), navigations);
}

TEST_F(SettingsScreen, RecentListCountIsStoredOnlyWhenItIsANumber) {
    auto& frame = f.host.doc(platform::DocPath{std::string(pane::Content), {2}});
    frame.form("recentform", {{"recentcount", ""}, {"other", "99"}});
    struct Case {
        std::string typed;
        Value stored; // Null: refused, the stored 10 stays
    } cases[] = {{"15", 15},  {" 20 ", 20},  {"0", 0},   {"32767", 32767}, {"", {}},
                 {"abc", {}}, {"12abc", {}}, {"-1", {}}, {"40000", {}},    {"99999999999", {}}};
    for (const auto& c : cases) {
        f.db.execute("UPDATE VellumiteLog SET recentpostnum=10 WHERE LogID=?", {site});
        f.host.messages.clear();
        frame.field("recentform", "recentcount").value = c.typed;
        auto ctx = f.context(pane::Content);
        subSaveRecentSettings(ctx);
        EXPECT_EQ(field("recentpostnum"), c.stored.isNull() ? Value(10) : c.stored) << c.typed;
        EXPECT_EQ(f.host.messages.size(), c.stored.isNull() ? 1u : 0u) << c.typed;
    }
}

TEST_F(SettingsScreen, ViewSiteOpensOnlyAWebAddress) {
    struct Case {
        Value stored;
        std::string opened; // empty: the "URL not set!" message instead
    } cases[] = {
        {"http://example.org/", "http://example.org/"},
        {"https://example.org", "https://example.org"},
        {Value(), ""},
        {"", ""},
        {"http://", ""},
        {"https://", ""},
        {"javascript:alert(1)//http://", ""},
        {"file:///etc/passwd", ""},
    };
    for (const auto& c : cases) {
        f.db.execute("UPDATE VellumiteLog SET pageurl=? WHERE LogID=?", {c.stored, site});
        f.host.openedWindows.clear();
        f.host.messages.clear();
        auto ctx = f.context(pane::Content);
        subViewUserSite(ctx);
        if (c.opened.empty()) {
            EXPECT_TRUE(f.host.openedWindows.empty()) << c.stored.toText();
            ASSERT_EQ(f.host.messages.size(), 1u) << c.stored.toText();
            EXPECT_EQ(f.host.messages[0].text, kUrlNotSet);
        } else {
            ASSERT_EQ(f.host.openedWindows.size(), 1u) << c.stored.toText();
            EXPECT_EQ(f.host.openedWindows[0].first, c.opened);
            EXPECT_EQ(f.host.openedWindows[0].second, "vellumitedisplay");
        }
    }
}

} // namespace
} // namespace vellumite
