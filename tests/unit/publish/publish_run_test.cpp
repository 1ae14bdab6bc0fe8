// The publish run against pyftpdlib and a silent server: the site's transfer mode, the window's
// texts with a zero-byte total, and cancel.
#include "publish/publish_run.h"
#include "publish_fixture.h"
#include "support/ftp_servers.h"
#include "support/scripted_ftp_server.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using publish_tests::WrittenPages;

class PublishRunTest : public ::testing::Test {
protected:
    // A run of the fixture's site, its pages holding `texts`, pumped to its end.
    const PublishEnd& run(std::map<std::string, std::string> texts = {},
                          const std::function<void(PublishRun&)>& watch = {}) {
        PublishOptions options;
        options.settings = f.app.settings;
        options.appFolder = f.dir.path();
        m_run = std::make_unique<PublishRun>(
            f.loop, f.db, f.app.logId,
            [this, texts] { return std::make_unique<WrittenPages>(f.dir.path(), 1, texts); },
            options);
        if (watch)
            watch(*m_run);
        bool ended = false;
        m_run->OnEnd = [&](const PublishEnd&) { ended = true; };
        m_run->start();
        EXPECT_TRUE(f.loop.runUntil([&] { return ended; }, std::chrono::seconds(20)));
        return m_run->end();
    }
    testing_support::AppFixture f;
    std::unique_ptr<PublishRun> m_run;
};

TEST_F(PublishRunTest, FilesGoInTheModeTheSiteChoseWithProgressTextsEvenForZeroBytes) {
    testing_support::FtpServer server(testing_support::FtpServer::Kind::PyFtpdLib, f.dir / "ftp");
    publish_tests::publishableSite(f, "127.0.0.1:" + std::to_string(server.port()));
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        f.db.execute("UPDATE VellumiteLog SET ftppassive=?", {passive});
        // Passive with bytes to send; active with empty files: a total of 0 bytes is no error.
        std::map<std::string, std::string> texts = {
            {"index.html", std::string(70'000, 'i')}, {"item1.html", "one"}, {"cat1-1.html", ""}};
        if (!passive)
            texts = {{"index.html", ""}, {"item1.html", ""}, {"cat1-1.html", ""}};
        std::vector<std::string> commands;
        const PublishEnd& end = run(texts, [&](PublishRun& r) {
            r.client().SessionProtocolMessage = [&](const std::string& text, std::int32_t type) {
                if (type == 0)
                    commands.push_back(text.substr(0, text.find(' ')));
            };
        });
        ASSERT_EQ(end.outcome, PublishOutcome::Succeeded) << end.message << " " << end.detail;
        for (const auto& [name, text] : texts)
            EXPECT_EQ(platform::files::readFile(server.writableFolder() / name), text) << name;
        EXPECT_NE(std::count(commands.begin(), commands.end(), passive ? "PASV" : "PORT"), 0);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), passive ? "PORT" : "PASV"), 0);
        const std::string total = passive ? "70003" : "0";
        EXPECT_EQ(m_run->view().fileText, "Progress for File 3 : 0 bytes of 0 bytes.");
        EXPECT_EQ(m_run->view().totalText,
                  "Total Progress : " + total + " bytes of " + total + " bytes.");
        EXPECT_EQ(m_run->view().totalPercent, 100);
    }
}

TEST_F(PublishRunTest, CancelStopsTheSessionUnderWayAndEndsCancelled) {
    testing_support::ScriptedFtpServer server([](auto& s) { s.clientClosed(5000); });
    publish_tests::publishableSite(f, "127.0.0.1:" + std::to_string(server.port()));
    const PublishEnd& end = run({}, [&](PublishRun& r) {
        r.OnChange = [&] {
            if (r.view().status == "FTP Status : Connecting" && !r.finished())
                f.loop.post([&] { r.cancel(); });
        };
    });
    EXPECT_EQ(end.outcome, PublishOutcome::Cancelled);
    EXPECT_FALSE(m_run->client().Busy());
    server.join();
    EXPECT_TRUE(server.commands().empty());
}

} // namespace
} // namespace vellumite
