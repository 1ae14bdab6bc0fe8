// The publish window through FakeHost: its messages, a refused upload, cancel, the panes.
#include "core/panes.h"
#include "publish/publish_window.h"
#include "publish_fixture.h"
#include "support/scripted_ftp_client.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class PublishWindowTest : public ::testing::Test {
protected:
    void start(const std::string& server, bool hasTemplate = true) {
        publish_tests::publishableSite(f, server);
        f.db.execute("UPDATE VellumiteLog SET UseDesignerTemplate=?", {hasTemplate ? 1 : 0});
        PublishWindowLinks links;
        links.pages = [this] {
            return std::make_unique<publish_tests::WrittenPages>(
                f.dir.path(), 1, std::map<std::string, std::string>{});
        };
        links.showTemplates = [this] { ++templateScreens; };
        startPublishWindow(f.app, PublishKind::Posts, links);
    }
    platform::Form* window() { return f.host.findForm(std::string(kPublishForm)); }
    bool waitFor(const std::function<bool()>& done) {
        return f.loop.runUntil(done, std::chrono::seconds(10));
    }

    testing_support::AppFixture f;
    int templateScreens = 0;
};

TEST_F(PublishWindowTest, AFailedCheckIsSaidAndTheWindowClosesWithThePanesEnabled) {
    start("127.0.0.1:21", false);
    ASSERT_TRUE(window() && window()->snapshot()["topMost"].get<bool>());
    EXPECT_FALSE(f.host.panesEnabled()) << "the panes take no clicks while the run lasts";
    ASSERT_TRUE(waitFor([&] { return window() == nullptr; }));
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, kNoTemplateMessage);
    EXPECT_EQ(f.host.messages[0].title, "No template");
    EXPECT_EQ(templateScreens, 1);
    EXPECT_TRUE(f.host.panesEnabled());
}

TEST_F(PublishWindowTest, ARefusedUploadStaysOnShowUntilTheUserCancels) {
    testing_support::ScriptedFtpServer server([](auto& s) {
        testing_support::scriptedLogin(s);
        s.openPassive();
        s.answer("550 Permission denied.");
        s.clientClosed(10000);
    });
    start("127.0.0.1:" + std::to_string(server.port()));
    const std::string refused =
        "FTP Status : index.html was not uploaded: the server said \"550 Permission denied.\".";
    ASSERT_TRUE(waitFor([&] { return window() && window()->text("lblFTPState") == refused; }));
    f.loop.runUntil([] { return false; }, std::chrono::milliseconds(200)); // it stays
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->text("lblProgThisFile"), "Progress for File 1 : 0 bytes of 10 bytes.");
    EXPECT_EQ(window()->text("lblTotalProgress"), "Total Progress : 0 bytes of 31 bytes.");
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_FALSE(f.host.panesEnabled());
    // Cancel asks first: No (from the link or the close button) keeps the window.
    window()->deliver("lblCancel", "click", {}, "");
    window()->deliver("", "close", {}, "");
    ASSERT_TRUE(window() && window()->visible());
    EXPECT_EQ(f.host.messages.at(1).text, kCancelPublishQuestion);
    f.host.msgAnswers.push_back(platform::MsgResult::Yes);
    window()->deliver("lblCancel", "click", {}, "");
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(f.host.panesEnabled());
}

} // namespace
} // namespace vellumite
