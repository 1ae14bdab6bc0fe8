// Sites on a real database through FakeHost: list, create, open with a password, the password
// dialog.
#include "platform/files.h"
#include "shell/mod_encrypt.h"
#include "shell/panes.h"
#include "shell/password_dialog.h"
#include "shell/sites.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class Sites : public ::testing::Test {
protected:
    // Whether the operation went on to its next step (the template screen, the editor).
    bool create(const std::string& name) {
        bool next = false;
        auto ctx = f.context(pane::Frontpage, name);
        subCreateLog(ctx, [&](CommandContext&) { next = true; });
        return next;
    }
    bool open(std::int32_t logId) {
        bool next = false;
        auto ctx = f.context(pane::Frontpage, std::to_string(logId), logId);
        subOpenLog(ctx, [&](CommandContext&) { next = true; });
        return next;
    }
    std::string lastMessage() const {
        return f.host.messages.empty() ? "" : f.host.messages.back().text;
    }
    long siteCount() {
        return static_cast<long>(*f.db.scalar("SELECT count(*) FROM VellumiteLog").integer());
    }

    testing_support::AppFixture f;
};

TEST_F(Sites, ListShowsEverySiteAsTextAndReportsABrokenTemplateByName) {
    auto ctx = f.context(pane::Frontpage);
    subBuildLogList(ctx);
    EXPECT_NE(f.page("loglist.html").find("<div class=\"sitelist\"></div>"), std::string::npos);

    std::int32_t a = f.addSite("Travel <b>notes</b>");
    std::int32_t b = f.addSite("\"><img src=x onerror=alert(1)>Cats & dogs");
    subBuildLogList(ctx);
    std::string page = f.page("logList.html");
    EXPECT_NE(page.find("<$open-" + std::to_string(a) + "$>"), std::string::npos);
    EXPECT_NE(page.find("<$open-" + std::to_string(b) + "$>"), std::string::npos);
    EXPECT_NE(page.find(">Travel notes<"), std::string::npos);            // tags stripped
    EXPECT_NE(page.find("&quot;&gt;Cats &amp; dogs"), std::string::npos); // the rest is text
    EXPECT_EQ(page.find("<img"), std::string::npos);

    auto failsNaming = [&](const std::string& named) {
        try {
            subBuildLogList(ctx);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
    };
    std::filesystem::remove(f.dir / "html/template-openlog.html");
    failsNaming("template-openlog.html");
    platform::files::writeFileAtomic(f.dir / "html/template-openlog.html", "<p>no list</p>");
    failsNaming("<logList>");
}

TEST_F(Sites, CreateOpensTheNewSiteAndRefusesANameInUseOrBlank) {
    ASSERT_TRUE(create("My weblog"));
    const std::int32_t id = f.app.logId;
    EXPECT_EQ(f.host.caption(), "Vellumite - My weblog");
    for (const char* field : {"LogTitle", "displayTitle", "webBarTitle"})
        EXPECT_EQ(f.siteField(id, field), platform::Value("My weblog")) << field;
    // The first post of the site goes on page 1.
    EXPECT_EQ(f.siteField(id, "PublishedPages"), platform::Value(1));
    EXPECT_EQ(f.siteField(id, "numberthispage"), platform::Value(0));

    struct Case {
        std::string name;
        std::string_view message; // empty: accepted
    } cases[] = {
        {"My weblog", kNameInUse}, {"", kNoNameEntered},
        {" \t ", kNoNameEntered},  {"my weblog", ""}, // another letter case is another name
        {"My weblog ", ""},
    };
    for (const auto& c : cases) {
        f.host.messages.clear();
        f.app.logId = id;
        long before = siteCount();
        EXPECT_EQ(create(c.name), c.message.empty()) << "'" << c.name << "'";
        EXPECT_EQ(lastMessage(), c.message) << "'" << c.name << "'";
        EXPECT_EQ(siteCount(), before + (c.message.empty() ? 1 : 0)) << "'" << c.name << "'";
        if (!c.message.empty()) {
            EXPECT_EQ(f.app.logId, id) << "a refusal leaves the open site open";
        }
    }
}

TEST_F(Sites, OpenAsksForTheExactPasswordAndKeepsTheSiteClosedOtherwise) {
    std::int32_t id = f.addSite("Locked", {{"password", Scramble(kPasswordKey, "sesame", 1)}});
    f.app.logId = -1;
    f.host.inputAnswers = {std::string("Sesame"), std::string("sesame ")};
    EXPECT_FALSE(open(id));
    EXPECT_EQ(lastMessage(), kPasswordIncorrect);
    EXPECT_FALSE(open(id));
    EXPECT_EQ(f.host.inputPrompts, std::vector<std::string>(2, std::string(kEnterPassword)));
    f.host.messages.clear();
    EXPECT_FALSE(open(id)); // cancelled: closed, and nothing to say about it
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(f.app.logId, -1);

    f.host.inputAnswers = {std::string("sesame")};
    EXPECT_TRUE(open(id));
    EXPECT_EQ(f.app.logId, id);

    f.app.logId = -1;
    EXPECT_FALSE(open(4242));
    EXPECT_EQ(lastMessage(), "There is no site numbered 4242.");
    EXPECT_EQ(f.app.logId, -1);
}

class PasswordDialog : public Sites {
protected:
    PasswordDialog() {
        site = f.app.logId = f.addSite("Guarded");
        f.host.doc(std::string(pane::Setup)).elements["passwordtext"].text = kProtectMySite;
        showDialog();
    }
    void showDialog() {
        auto ctx = f.context(pane::Setup);
        subShowPasswordDialog(ctx);
    }
    platform::Form& form() { return f.host.form(std::string(kPasswordForm)); }
    void submit(const std::string& password, const std::string& confirm,
                const std::string& button = "cmdSetPassword") {
        form().setText("txtNewPass", password);
        form().setText("txtNewPassConfirm", confirm);
        form().deliver(button, button.empty() ? "close" : "click", {}, "");
    }
    std::string stored() { return f.siteField(site, "password").toText(); }
    std::string linkText() {
        return f.host.doc(std::string(pane::Setup)).elements["passwordtext"].text;
    }
    bool dialogOpen() { return f.host.findForm(std::string(kPasswordForm)) != nullptr; }

    std::int32_t site = 0;
};

TEST_F(PasswordDialog, StoresTheLowerCasedPasswordOrRemovesItAndRefusesMismatchesAndLongOnes) {
    // A normal window whose boxes hide what is typed.
    EXPECT_FALSE(form().snapshot()["topMost"].get<bool>());
    int hidden = 0;
    for (const auto& control : form().controls())
        hidden += control.name.starts_with("txtNewPass") &&
                  control.kind == platform::ControlKind::Password;
    EXPECT_EQ(hidden, 2);

    struct Case {
        std::string password, confirm;
        std::string_view message;
    } refused[] = {{"one", "two", kPasswordMismatch},
                   {std::string(256, 'x'), std::string(256, 'x'), kPasswordTooLong}};
    for (const auto& c : refused) {
        submit(c.password, c.confirm);
        EXPECT_EQ(lastMessage(), c.message);
        EXPECT_TRUE(dialogOpen());
        EXPECT_EQ(stored(), "");
        EXPECT_EQ(linkText(), kProtectMySite);
    }

    submit(std::string(255, 'x'), std::string(255, 'X'));
    EXPECT_EQ(Scramble(kPasswordKey, stored(), 2), std::string(255, 'x'));
    showDialog();
    submit("Open Sesame", "OPEN sesame");
    EXPECT_FALSE(dialogOpen());
    EXPECT_EQ(Scramble(kPasswordKey, stored(), 2), "open sesame");
    EXPECT_EQ(linkText(), kChangeMyPassword);
    // Opening then takes the password only as it was stored: in lower case.
    f.app.logId = -1;
    f.host.inputAnswers = {std::string("Open Sesame"), std::string("open sesame")};
    EXPECT_FALSE(open(site));
    EXPECT_TRUE(open(site));

    // Both boxes empty: the protection goes, and the site opens without a prompt.
    showDialog();
    submit("", "");
    EXPECT_EQ(f.siteField(site, "password"), platform::Value(""));
    EXPECT_EQ(linkText(), kProtectMySite);
    f.app.logId = -1;
    EXPECT_TRUE(open(site));
}

TEST_F(PasswordDialog, CancelAndCloseStoreNothing) {
    submit("abc", "abc", "cmdCancel");
    EXPECT_FALSE(dialogOpen());
    showDialog();
    EXPECT_EQ(form().text("txtNewPass"), ""); // a fresh dialog
    submit("abc", "abc", "");
    EXPECT_FALSE(dialogOpen());
    EXPECT_EQ(stored(), "");
}

} // namespace
} // namespace vellumite
