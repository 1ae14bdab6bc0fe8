// Sites on a real database through FakeHost: list, create, open with a password, the password
// dialog.
#include "core/fill_engine.h"
#include "platform/files.h"
#include "shell/mod_encrypt.h"
#include "shell/password_dialog.h"
#include "shell/sites.h"
#include "store/trusted_certificates.h"
#include "support/app_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class Sites : public ::testing::Test {
protected:
    // Whether the operation went on to its next step (the template screen, the editor).
    bool create(const std::string& name) { return subCreateLog(f.app, name); }
    bool open(std::int32_t logId) { return subOpenLog(f.app, logId); }
    std::string lastMessage() const {
        return f.host.messages.empty() ? "" : f.host.messages.back().text;
    }
    long siteCount() {
        return static_cast<long>(*f.db.scalar("SELECT count(*) FROM VellumiteLog").integer());
    }

    testing_support::AppFixture f;
};

TEST_F(Sites, ListOfNoSitesIsEmptyAndABrokenTemplateIsNamed) {
    subBuildLogList(f.app);
    EXPECT_NE(f.page("loglist.html").find("<div class=\"sitelist\"></div>"), std::string::npos);

    // Titles shown as text: see the browser test of sites.
    // A template without the list block is named in the error (a missing one: see FillEngine).
    platform::files::writeFileAtomic(f.dir / "html/template-openlog.html", "<p>no list</p>");
    EXPECT_THAT([&] { subBuildLogList(f.app); },
                ThrowsMessage<TemplateError>(HasSubstr("template-openlog.html has no <logList>")));
}

TEST_F(Sites, CreateOpensTheNewSiteAndRefusesANameInUseOrBlank) {
    ASSERT_TRUE(create("My weblog"));
    const std::int32_t id = f.app.logId;
    EXPECT_EQ(f.host.caption(), "Vellumite - My weblog");
    for (const char* field : {"LogTitle", "displayTitle", "webBarTitle"})
        EXPECT_EQ(f.siteField(id, field), platform::Value("My weblog")) << field;
    // Without a template until one is chosen, not with another site's.
    EXPECT_EQ(f.siteField(id, "UseDesignerTemplate"), platform::Value(0));

    // A name, and the message that refuses it; empty: accepted (another letter case is another
    // name).
    const std::pair<std::string, std::string_view> cases[] = {{"My weblog", kNameInUse},
                                                              {"", kNoNameEntered},
                                                              {" \t ", kNoNameEntered},
                                                              {"my weblog", ""},
                                                              {"My weblog ", ""}};
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE("'" + name + "'");
        f.host.messages.clear();
        f.app.logId = id;
        long before = siteCount();
        EXPECT_EQ(create(name), message.empty());
        EXPECT_EQ(lastMessage(), message);
        EXPECT_EQ(siteCount(), before + (message.empty() ? 1 : 0));
        // A refusal leaves the open site open; a new site is opened.
        EXPECT_EQ(f.app.logId == id, !message.empty());
    }
}

// The right password opening the site and a wrong letter case refused: see the browser test.
TEST_F(Sites, OpenAsksForTheExactPasswordAndKeepsTheSiteClosedOtherwise) {
    std::int32_t id = f.addSite("Locked", {{"password", Scramble(kPasswordKey, "sesame", 1)}});
    f.app.logId = -1;
    f.host.inputAnswers = {std::string("sesame ")};
    EXPECT_FALSE(open(id));
    EXPECT_EQ(lastMessage(), kPasswordIncorrect);
    EXPECT_EQ(f.host.inputPrompts, std::vector<std::string>{std::string(kEnterPassword)});
    f.host.messages.clear();
    EXPECT_FALSE(open(id)); // cancelled: closed, and nothing to say about it
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_FALSE(open(4242));
    EXPECT_EQ(lastMessage(), "There is no site numbered 4242.");
    EXPECT_EQ(f.app.logId, -1);
}

TEST_F(Sites, DeleteTakesTheCertificatesTrustedForTheSiteWithIt) {
    TrustedCertificates trusted(f.dir.path());
    const std::int32_t id = f.app.logId = f.addSite("Gone");
    trusted.trust(id, "h:21", "AA:01");
    f.host.msgAnswers = {platform::MsgResult::Yes};
    subDeleteLog(f.app);
    EXPECT_EQ(trusted.fingerprint(id, "h:21"), "");
}

} // namespace
} // namespace vellumite
