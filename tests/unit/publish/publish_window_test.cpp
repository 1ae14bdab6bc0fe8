// The publish window through FakeHost: what it shows, its messages, cancel, and the panes.
#include "core/panes.h"
#include "publish/publish_window.h"
#include "publish_fixture.h"
#include "support/app_fixture.h"
#include "support/ftp_servers.h"
#include "support/scripted_ftp_client.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using testing_support::ScriptedFtpServer;

class PublishWindowTest : public ::testing::Test {
protected:
    PublishWindowTest() {
        f.app.settings.online = true;
        f.app.settings.serviceUrl = "http://127.0.0.1:1";
        f.app.logId = f.addSite("Log", {{"ftpusername", "tester"},
                                        {"ftppassword", "s3cret"},
                                        {"ftppassive", true},
                                        {"UseDesignerTemplate", 1}});
    }

    void start(const std::string& server) {
        f.db.execute("UPDATE VellumiteLog SET ftplocation=?", {server});
        PublishWindowLinks links;
        links.pages = [this] {
            return std::make_unique<publish_tests::WrittenPages>(
                f.dir / "html/output", 1, std::map<std::string, std::string>{});
        };
        links.showTemplates = [this] { ++templateScreens; };
        startPublishWindow(f.app, PublishKind::Posts, links);
    }

    platform::Form* window() { return f.host.findForm(std::string(kPublishForm)); }

    bool waitFor(const std::function<bool()>& done) { return f.loop.runUntil(done, 20s); }

    testing_support::AppFixture f;
    int templateScreens = 0;
};

TEST_F(PublishWindowTest, AFailedCheckIsSaidInAMessageAndTheWindowClosesWithThePanesEnabled) {
    f.db.execute("UPDATE VellumiteLog SET UseDesignerTemplate=0");
    start("127.0.0.1:21");
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->visible());
    EXPECT_TRUE(window()->snapshot()["topMost"].get<bool>());
    EXPECT_FALSE(f.host.panesEnabled()) << "the panes take no clicks while the run lasts";
    ASSERT_TRUE(waitFor([&] { return window() == nullptr; }));
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, kNoTemplateMessage);
    EXPECT_EQ(f.host.messages[0].title, "No template");
    EXPECT_EQ(templateScreens, 1);
    EXPECT_TRUE(f.host.panesEnabled());
}

TEST_F(PublishWindowTest, APublishedSiteClosesTheWindowAndASecondStartWhileItShowsDoesNothing) {
    testing_support::FtpServer server(testing_support::FtpServer::Kind::PyFtpdLib, f.dir / "ftp");
    start("127.0.0.1:" + std::to_string(server.port()));
    platform::Form* first = window();
    start("127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(window(), first);
    EXPECT_EQ(first->text("lblCancel"), "Cancel");
    EXPECT_TRUE(first->get("lblUploadMessage", "dragsWindow").get<bool>());
    ASSERT_TRUE(waitFor([&] { return window() == nullptr; }));
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_TRUE(f.host.panesEnabled());
    for (const char* name : {"index.html", "item1.html", "cat1-1.html"})
        EXPECT_TRUE(std::filesystem::exists(server.writableFolder() / name)) << name;
}

TEST_F(PublishWindowTest, ARefusedUploadStaysOnShowUntilTheUserCancels) {
    ScriptedFtpServer server([](ScriptedFtpServer::Session& s) {
        testing_support::scriptedLogin(s);
        s.openPassive();
        s.answer("550 Permission denied.");
        s.clientClosed(10000);
    });
    start("127.0.0.1:" + std::to_string(server.port()));
    const std::string refused =
        "FTP Status : index.html was not uploaded: the server said \"550 Permission denied.\".";
    ASSERT_TRUE(waitFor([&] { return window() && window()->text("lblFTPState") == refused; }));
    f.loop.runUntil([] { return false; }, 200ms); // nothing closes it by itself
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->visible());
    EXPECT_EQ(window()->text("lblProgThisFile"), "Progress for File 1 : 0 bytes of 10 bytes.");
    EXPECT_EQ(window()->text("lblTotalProgress"), "Total Progress : 0 bytes of 31 bytes.");
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_FALSE(f.host.panesEnabled());

    // Cancel asks first; No keeps the window, the close button too.
    window()->deliver("lblCancel", "click", {}, "");
    window()->deliver("", "close", {}, "");
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->visible());
    ASSERT_EQ(f.host.messages.size(), 2u);
    EXPECT_EQ(f.host.messages[0].text, kCancelPublishQuestion);
    EXPECT_EQ(f.host.messages[0].buttons, platform::MsgButtons::YesNo);
    f.host.msgAnswers.push_back(platform::MsgResult::Yes);
    window()->deliver("lblCancel", "click", {}, "");
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(f.host.panesEnabled());
}

} // namespace
} // namespace vellumite
