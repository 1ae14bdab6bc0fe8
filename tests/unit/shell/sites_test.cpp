// Sites on a real database through FakeHost: list, create, open with a password, the password
// dialog, delete.
#include "platform/files.h"
#include "shell/mod_encrypt.h"
#include "shell/panes.h"
#include "shell/password_dialog.h"
#include "shell/sites.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::MsgResult;

class Sites : public ::testing::Test {
protected:
    // Records the last step that each operation hands over to.
    CommandHandler counting(int& count) {
        return [&count](CommandContext&) { ++count; };
    }
    bool create(const std::string& name) {
        auto ctx = f.context(pane::Frontpage, name);
        int before = templateScreens;
        subCreateLog(ctx, counting(templateScreens));
        return templateScreens > before;
    }
    bool open(std::int32_t logId) {
        auto ctx = f.context(pane::Frontpage, std::to_string(logId), logId);
        int before = editors;
        subOpenLog(ctx, counting(editors));
        return editors > before;
    }
    std::string lastMessage() const {
        return f.host.messages.empty() ? "" : f.host.messages.back().text;
    }
    long siteCount() {
        return static_cast<long>(*f.db.scalar("SELECT count(*) FROM VellumiteLog").integer());
    }

    testing_support::AppFixture f;
    int templateScreens = 0;
    int editors = 0;
};

TEST_F(Sites, ListShowsEverySiteAsTextWithItsOpenLink) {
    std::int32_t a = f.addSite("Travel <b>notes</b>");
    std::int32_t b = f.addSite("\"><img src=x onerror=alert(1)>Cats & dogs");
    auto ctx = f.context(pane::Frontpage);
    subBuildLogList(ctx);
    std::string page = f.page("logList.html");
    EXPECT_NE(page.find("<$open-" + std::to_string(a) + "$>"), std::string::npos);
    EXPECT_NE(page.find("<$open-" + std::to_string(b) + "$>"), std::string::npos);
    EXPECT_NE(page.find(">Travel notes<"), std::string::npos);            // tags stripped
    EXPECT_NE(page.find("&quot;&gt;Cats &amp; dogs"), std::string::npos); // the rest is text
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("$logName$"), std::string::npos);
    EXPECT_LT(page.find("Travel notes"), page.find("Cats &amp; dogs")); // in key order
}

TEST_F(Sites, ListOfAnEmptyDatabaseHasNoEntries) {
    auto ctx = f.context(pane::Frontpage);
    subBuildLogList(ctx);
    std::string page = f.page("loglist.html"); // the name the front page shows it by
    EXPECT_EQ(page.find("<$open-"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"sitelist\"></div>"), std::string::npos);
}

TEST_F(Sites, ListReportsAMissingOrBrokenTemplateByName) {
    auto ctx = f.context(pane::Frontpage);
    std::filesystem::remove(f.dir / "html/template-openlog.html");
    try {
        subBuildLogList(ctx);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("template-openlog.html"), std::string::npos);
    }
    platform::files::writeFileAtomic(f.dir / "html/template-openlog.html", "<p>no list</p>");
    try {
        subBuildLogList(ctx);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("<logList>"), std::string::npos);
    }
}

TEST_F(Sites, CreateMakesTheSiteOpenAndShowsTheTemplateScreen) {
    ASSERT_TRUE(create("My weblog"));
    std::int32_t id = f.app.logId;
    ASSERT_GT(id, 0);
    EXPECT_EQ(f.app.displayTitle, "My weblog");
    EXPECT_EQ(f.host.caption(), "Vellumite - My weblog");
    for (const char* field : {"LogTitle", "displayTitle", "webBarTitle"})
        EXPECT_EQ(f.siteField(id, field), platform::Value("My weblog")) << field;
    // The first post of the site goes on page 1.
    EXPECT_EQ(f.siteField(id, "PublishedPages"), platform::Value(1));
    EXPECT_EQ(f.siteField(id, "numberthispage"), platform::Value(0));
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Sites, CreateRefusesANameInUseOrBlank) {
    f.addSite("My weblog");
    struct Case {
        std::string name;
        std::string_view message; // empty: accepted
    } cases[] = {
        {"My weblog", kNameInUse}, {"", kNoNameEntered}, {"   ", kNoNameEntered},
        {" \t ", kNoNameEntered},  {"my weblog", ""}, // another letter case is another name
        {"My weblog ", ""},                           // and so is a trailing blank
        {"MY WEBLOG", ""},
    };
    for (const auto& c : cases) {
        f.host.messages.clear();
        long before = siteCount();
        bool created = create(c.name);
        EXPECT_EQ(created, c.message.empty()) << "'" << c.name << "'";
        EXPECT_EQ(lastMessage(), c.message) << "'" << c.name << "'";
        EXPECT_EQ(siteCount(), before + (c.message.empty() ? 1 : 0)) << "'" << c.name << "'";
    }
    // A refusal leaves the open site as it was.
    std::int32_t open = f.app.logId;
    create("My weblog");
    EXPECT_EQ(f.app.logId, open);
}

TEST_F(Sites, OpenWithoutPasswordShowsTheEditor) {
    std::int32_t a =
        f.addSite("Plain", {{"password", platform::Value()}, {"displayTitle", "Shown"}});
    std::int32_t b = f.addSite("Empty", {{"password", ""}});
    ASSERT_TRUE(open(a));
    EXPECT_EQ(f.app.logId, a);
    EXPECT_EQ(f.app.displayTitle, "Shown");
    EXPECT_EQ(f.host.caption(), "Vellumite - Plain");
    ASSERT_TRUE(open(b));
    EXPECT_EQ(f.app.logId, b);
    EXPECT_TRUE(f.host.inputPrompts.empty());
}

TEST_F(Sites, OpenAsksForThePasswordAndKeepsTheSiteClosedWhenWrong) {
    std::int32_t id = f.addSite("Locked", {{"password", Scramble(kPasswordKey, "sesame", 1)}});
    f.app.logId = -1;
    f.host.inputAnswers = {std::string("Sesame"), std::string("sesame ")};
    EXPECT_FALSE(open(id)); // the comparison is exact
    EXPECT_EQ(lastMessage(), kPasswordIncorrect);
    EXPECT_FALSE(open(id));
    EXPECT_EQ(f.app.logId, -1);
    EXPECT_EQ(f.host.inputPrompts,
              (std::vector<std::string>{std::string(kEnterPassword), std::string(kEnterPassword)}));

    f.host.messages.clear();
    EXPECT_FALSE(open(id)); // cancelled: closed, and nothing to say about it
    EXPECT_TRUE(f.host.messages.empty());

    f.host.inputAnswers = {std::string("sesame")};
    EXPECT_TRUE(open(id));
    EXPECT_EQ(f.app.logId, id);
}

TEST_F(Sites, OpenOfASiteThatIsGoneSaysSo) {
    f.app.logId = -1;
    EXPECT_FALSE(open(4242));
    EXPECT_EQ(lastMessage(), "There is no site numbered 4242.");
    EXPECT_EQ(f.app.logId, -1);
}

class PasswordDialog : public Sites {
protected:
    PasswordDialog() {
        site = f.addSite("Guarded");
        f.app.logId = site;
        f.host.doc(std::string(pane::Setup)).elements["passwordtext"].text = kProtectMySite;
        auto ctx = f.context(pane::Setup);
        subShowPasswordDialog(ctx);
    }
    platform::Form& form() { return f.host.form(std::string(kPasswordForm)); }
    void type(const std::string& password, const std::string& confirm) {
        form().setText("txtNewPass", password);
        form().setText("txtNewPassConfirm", confirm);
    }
    std::string stored() { return f.siteField(site, "password").toText(); }
    std::string linkText() {
        return f.host.doc(std::string(pane::Setup)).elements["passwordtext"].text;
    }
    bool dialogOpen() { return f.host.findForm(std::string(kPasswordForm)) != nullptr; }

    std::int32_t site = 0;
};

TEST_F(PasswordDialog, StoresTheLowerCasedPasswordScrambled) {
    type("Open Sesame", "OPEN sesame");
    form().deliver("cmdSetPassword", "click", {}, "");
    EXPECT_FALSE(dialogOpen());
    ASSERT_FALSE(stored().empty());
    EXPECT_EQ(stored().find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(Scramble(kPasswordKey, stored(), 2), "open sesame");
    EXPECT_EQ(linkText(), kChangeMyPassword);

    // Opening then takes the password only as it was stored: in lower case.
    f.app.logId = -1;
    f.host.inputAnswers = {std::string("Open Sesame"), std::string("open sesame")};
    EXPECT_FALSE(open(site));
    EXPECT_TRUE(open(site));
}

TEST_F(PasswordDialog, MismatchStoresNothingAndStaysOpen) {
    type("one", "two");
    form().deliver("cmdSetPassword", "click", {}, "");
    EXPECT_EQ(lastMessage(), kPasswordMismatch);
    EXPECT_TRUE(dialogOpen());
    EXPECT_EQ(stored(), "");
    EXPECT_EQ(linkText(), kProtectMySite);
    // A normal window whose boxes hide what is typed.
    EXPECT_FALSE(form().snapshot()["topMost"].get<bool>());
    EXPECT_EQ(form().controls()[2].name, "txtNewPass");
    EXPECT_EQ(form().controls()[2].kind, platform::ControlKind::Password);
    EXPECT_EQ(form().controls()[4].kind, platform::ControlKind::Password);
}

TEST_F(PasswordDialog, OverlongPasswordIsRefused) {
    std::string tooLong(256, 'x');
    type(tooLong, tooLong);
    form().deliver("cmdSetPassword", "click", {}, "");
    EXPECT_EQ(lastMessage(), kPasswordTooLong);
    EXPECT_TRUE(dialogOpen());
    EXPECT_EQ(stored(), "");
    type(std::string(255, 'x'), std::string(255, 'X'));
    form().deliver("cmdSetPassword", "click", {}, "");
    EXPECT_EQ(Scramble(kPasswordKey, stored(), 2), std::string(255, 'x'));
}

TEST_F(PasswordDialog, EmptyPasswordRemovesTheProtection) {
    f.db.execute("UPDATE VellumiteLog SET password=? WHERE LogID=?",
                 {Scramble(kPasswordKey, "old", 1), site});
    type("", "");
    form().deliver("cmdSetPassword", "click", {}, "");
    EXPECT_EQ(f.siteField(site, "password"), platform::Value(""));
    EXPECT_EQ(linkText(), kProtectMySite);
    f.app.logId = -1;
    EXPECT_TRUE(open(site));
    EXPECT_TRUE(f.host.inputPrompts.empty());
}

TEST_F(PasswordDialog, CancelAndCloseStoreNothing) {
    type("abc", "abc");
    form().deliver("cmdCancel", "click", {}, "");
    EXPECT_FALSE(dialogOpen());
    auto ctx = f.context(pane::Setup);
    subShowPasswordDialog(ctx);
    EXPECT_EQ(form().text("txtNewPass"), ""); // a fresh dialog
    type("abc", "abc");
    form().deliver("", "close", {}, "");
    EXPECT_FALSE(dialogOpen());
    EXPECT_EQ(stored(), "");
}

TEST_F(Sites, DeleteAsksAndRemovesOnlyTheSitesOwnRows) {
    std::int32_t keep = f.addSite("Keep");
    std::int32_t doomed = f.addSite("Doomed");
    for (std::int32_t id : {keep, doomed}) {
        f.db.execute(
            "INSERT INTO VellumitePosts (LogID, posttitle, PublishPage) VALUES (?, 't', 1)", {id});
        f.db.execute("INSERT INTO VellumiteLinks (LogID, linktext) VALUES (?, 'l')", {id});
        f.db.execute("INSERT INTO VellumiteCategory (LogID, categoryname) VALUES (?, 'c')", {id});
    }
    f.app.logId = doomed;
    auto ctx = f.context(pane::Setup);

    subDeleteLog(ctx); // the fake answers No
    EXPECT_EQ(f.host.messages.back().text, kDeleteSiteQuestion);
    EXPECT_EQ(f.host.messages.back().title, kDeleteSiteTitle);
    EXPECT_EQ(siteCount(), 2);
    EXPECT_EQ(f.app.logId, doomed);

    f.host.msgAnswers = {MsgResult::Yes};
    subDeleteLog(ctx);
    EXPECT_EQ(f.app.logId, -1);
    EXPECT_EQ(f.host.frontPane(), pane::Frontpage);
    auto count = [&](const char* table, std::int32_t id) {
        return *f.db.scalar(std::string("SELECT count(*) FROM ") + table + " WHERE LogID=?", {id})
                    .integer();
    };
    EXPECT_EQ(count("VellumiteLog", doomed) + count("VellumitePosts", doomed) +
                  count("VellumiteLinks", doomed),
              0);
    EXPECT_EQ(count("VellumiteCategory", doomed), 1); // categories stay, as they always have
    EXPECT_EQ(count("VellumiteLog", keep) + count("VellumitePosts", keep) +
                  count("VellumiteLinks", keep),
              3);
}

} // namespace
} // namespace vellumite

namespace vellumite {
namespace {

// The front page and settings commands reach these operations through the installed tables.
TEST_F(Sites, FrontPageAndSettingsCommandsReachTheSiteOperations) {
    Dispatcher d(f.app, installCommandHandlers());
    auto& frame0 = f.host.doc(platform::DocPath{std::string(pane::Frontpage), {0}});
    frame0.form("newlog", {{"newLogName", "Fresh"}});
    d.beforeNavigate(std::string(pane::Frontpage), "/app/html/newlog.html?newLogName=Fresh");
    ASSERT_GT(f.app.logId, 0);
    const std::int32_t fresh = f.app.logId;
    EXPECT_EQ(f.siteField(fresh, "LogTitle"), platform::Value("Fresh"));

    d.beforeNavigate(std::string(pane::Frontpage), "/app/html/<$OpenLog$>");
    EXPECT_NE(f.page("logList.html").find("<$open-" + std::to_string(fresh) + "$>"),
              std::string::npos);
    EXPECT_EQ(f.host.location({std::string(pane::Frontpage), {0}}), f.app.htmlFile("loglist.html"));

    f.app.logId = -1;
    d.beforeNavigate(std::string(pane::Frontpage), "/app/html/<$open-" + std::to_string(fresh));
    EXPECT_EQ(f.app.logId, fresh);

    d.beforeNavigate(std::string(pane::Setup), "/app/html/<$Setpassword$>");
    EXPECT_TRUE(f.host.form(std::string(kPasswordForm)).visible());

    f.host.msgAnswers = {platform::MsgResult::Yes};
    d.beforeNavigate(std::string(pane::Setup), "/app/html/<$deletethisblog$>");
    EXPECT_EQ(f.app.logId, -1);
    EXPECT_TRUE(f.siteField(fresh, "LogTitle").isNull());
}

} // namespace
} // namespace vellumite
