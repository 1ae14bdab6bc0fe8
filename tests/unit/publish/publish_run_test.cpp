// The publish run: its checks, the upload of every file with progress, a refused upload, a dry
// run, changed-only and cancel; against pyftpdlib and scripted servers on 127.0.0.1.
#include "core/panes.h"
#include "platform/sha256.h"
#include "publish/publish_run.h"
#include "publish_fixture.h"
#include "support/ftp_servers.h"
#include "support/scripted_ftp_server.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using testing_support::FtpServer;
using testing_support::ScriptedFtpServer;
namespace fs = std::filesystem;

class PublishRunTest : public publish_tests::PublishFixture, public ::testing::Test {};

TEST_F(PublishRunTest, ChecksEndTheRunBeforeAnythingIsGenerated) {
    struct Case {
        const char* name;
        std::function<void(PublishFixture&, PublishOptions&)> change;
        std::string message;
        std::string title;
        bool showTemplates;
    };
    const Case cases[] = {
        {"offline", [](auto&, auto& o) { o.settings.online = false; }, std::string(kOfflinePrompt),
         std::string(kOfflineTitle), false},
        {"no password", [](auto& f, auto&) { f.setSite("ftppassword", ""); },
         kFtpSettingsIncomplete, "Vellumite", false},
        {"no server", [](auto& f, auto&) { f.setSite("ftplocation", platform::Value()); },
         kFtpSettingsIncomplete, "Vellumite", false},
        {"no template", [](auto& f, auto&) { f.setSite("UseDesignerTemplate", 0); },
         kNoTemplateMessage, "No template", true},
        {"bad port", [](auto& f, auto&) { f.setSite("ftplocation", "127.0.0.1:99999"); },
         "The FTP server setting cannot be used: the port in \"127.0.0.1:99999\" must be a "
         "number from 1 to 65535.",
         "Vellumite", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        publish_tests::PublishFixture f;
        PublishOptions options = f.options();
        c.change(f, options);
        PublishRun run(f.loop, f.db, 1, f.pages(), options);
        const PublishEnd& end = f.runToEnd(run);
        EXPECT_EQ(end.outcome, PublishOutcome::Failed);
        EXPECT_EQ(end.message, c.message);
        EXPECT_EQ(end.title, c.title);
        EXPECT_EQ(end.showTemplates, c.showTemplates);
        EXPECT_FALSE(end.keepWindowOpen);
        EXPECT_EQ(f.pagesMade, 0);
    }
}

TEST_F(PublishRunTest, AGeneratorErrorEndsTheRunWithItsText) {
    PublishRun run(
        loop, db, 1,
        []() -> std::unique_ptr<SitePages> {
            throw platform::MessageError(1, "The template has no post block.", "t");
        },
        options());
    const PublishEnd& end = runToEnd(run);
    EXPECT_EQ(end.outcome, PublishOutcome::Failed);
    EXPECT_EQ(end.message, "The template has no post block.");
}

TEST_F(PublishRunTest, EveryFileArrivesInTheModeTheSiteChoseWithProgressForEachAndTheTotal) {
    FtpServer server(FtpServer::Kind::PyFtpdLib, dir / "server");
    setSite("ftplocation", "127.0.0.1:" + std::to_string(server.port()));
    const std::map<std::string, std::string> texts = {{"index.html", std::string(70'000, 'i')},
                                                      {"item1.html", "one"},
                                                      {"item2.html", std::string(9000, '2')},
                                                      {"cat1-1.html", ""}};
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        setSite("ftppassive", passive);
        fs::remove_all(server.writableFolder());
        fs::create_directories(server.writableFolder());
        PublishRun run(loop, db, 1, pages(2, texts), options());
        std::vector<std::string> statuses, commands;
        std::vector<UploadItem> uploaded;
        run.OnChange = [&] {
            if (statuses.empty() || statuses.back() != run.view().status)
                statuses.push_back(run.view().status);
        };
        run.OnFileUploaded = [&](const UploadItem& item) { uploaded.push_back(item); };
        run.client().SessionProtocolMessage = [&](const std::string& text, std::int32_t type) {
            if (type == 0)
                commands.push_back(text.substr(0, text.find(' ')));
        };
        const PublishEnd& end = runToEnd(run);
        ASSERT_EQ(end.outcome, PublishOutcome::Succeeded) << end.message << " " << end.detail;
        for (const auto& [name, text] : texts)
            EXPECT_EQ(platform::files::readFile(server.writableFolder() / name), text) << name;
        ASSERT_EQ(uploaded.size(), 4u);
        EXPECT_EQ(uploaded[0].name, "index.html");
        EXPECT_EQ(uploaded[3].name, "cat1-1.html");
        EXPECT_EQ(uploaded[0].sha256, platform::sha256Hex(texts.at("index.html")));
        EXPECT_NE(std::count(commands.begin(), commands.end(), passive ? "PASV" : "PORT"), 0);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), passive ? "PORT" : "PASV"), 0);
        EXPECT_EQ(commands.back(), "QUIT");
        const std::vector<std::string> expected = {"Generating files",
                                                   "Generating content pages",
                                                   "Generating category pages",
                                                   "FTP Status : Connecting",
                                                   "FTP Status : Uploading file 1 of 4",
                                                   "FTP Status : Uploading file 2 of 4",
                                                   "FTP Status : Uploading file 3 of 4",
                                                   "FTP Status : Uploading file 4 of 4",
                                                   "FTP Status : Closing the session"};
        EXPECT_EQ(statuses, expected);
        EXPECT_EQ(run.view().fileText, "Progress for File 4 : 0 bytes of 0 bytes.");
        EXPECT_EQ(run.view().totalText, "Total Progress : 79003 bytes of 79003 bytes.");
        EXPECT_EQ(run.view().totalPercent, 100);
    }
}

TEST_F(PublishRunTest, ASiteOfEmptyFilesHasZeroBytesToSendAndNothingWrong) {
    FtpServer server(FtpServer::Kind::PyFtpdLib, dir / "server");
    setSite("ftplocation", "127.0.0.1:" + std::to_string(server.port()));
    PublishRun run(loop, db, 1,
                   pages(1, {{"index.html", ""}, {"item1.html", ""}, {"cat1-1.html", ""}}),
                   options());
    std::vector<std::string> totals;
    run.OnChange = [&] { totals.push_back(run.view().totalText); };
    EXPECT_EQ(runToEnd(run).outcome, PublishOutcome::Succeeded);
    ASSERT_FALSE(totals.empty());
    for (const std::string& total : totals) {
        if (!total.empty()) {
            EXPECT_EQ(total, "Total Progress : 0 bytes of 0 bytes.");
        }
    }
    EXPECT_EQ(run.view().totalPercent, 100);
    EXPECT_TRUE(fs::exists(server.writableFolder() / "item1.html"));
}

TEST_F(PublishRunTest, ARefusedUploadNamesTheFileAndTheReplyAndSendsNothingMore) {
    ScriptedFtpServer server([](ScriptedFtpServer::Session& s) {
        s.reply("220 Scripted server ready");
        s.answer("331 Password required");
        s.answer("230 Logged in");
        s.answer("257 \"/\"");
        s.openPassive();
        s.answer("553 Could not create file.");
        s.command(300); // anything the client would send after the refusal is recorded
    });
    setSite("ftplocation", "127.0.0.1:" + std::to_string(server.port()));
    PublishRun run(loop, db, 1, pages(1), options());
    const PublishEnd& end = runToEnd(run);
    EXPECT_EQ(end.outcome, PublishOutcome::Failed);
    EXPECT_TRUE(end.keepWindowOpen);
    EXPECT_EQ(end.message, "index.html was not uploaded: the server said \"553 Could not create "
                           "file.\".");
    EXPECT_EQ(run.view().status, "FTP Status : " + end.message);
    EXPECT_EQ(run.uploadedCount(), 0u);
    server.join();
    EXPECT_EQ(server.commands().back(), "STOR index.html") << "nothing sent after the refusal";
}

TEST_F(PublishRunTest, ADryRunListsWithoutConnectingAndChangedOnlyLeavesOutWhatArrivedBefore) {
    setSite("ftppassword", ""); // a dry run needs no login
    PublishRun dry(loop, db, 1, pages(2), [&] {
        PublishOptions o = options(PublishKind::Archive);
        o.dryRun = true;
        o.settings.online = false;
        return o;
    }());
    ASSERT_EQ(runToEnd(dry).outcome, PublishOutcome::Succeeded);
    ASSERT_EQ(dry.files().size(), 2u);
    EXPECT_EQ(dry.files()[0].name, "archindex.html");
    EXPECT_EQ(dry.files()[1].name, "arch012026.html");
    EXPECT_EQ(dry.totalBytes(), std::string("archindex.html").size() + 15);

    // What the manifest of this server and folder holds, byte for byte, is not sent again.
    setSite("ftppassword", "s3cret");
    const std::string server = "127.0.0.1:21";
    UploadManifest(UploadManifest::fileFor(dir / "app", 1, server, "tester", ""), "test")
        .record("item1.html", {10, platform::sha256Hex("item1.html")});
    PublishOptions changed = options();
    changed.dryRun = true;
    changed.changedOnly = true;
    PublishRun run(loop, db, 1, pages(2), changed);
    ASSERT_EQ(runToEnd(run).outcome, PublishOutcome::Succeeded);
    std::vector<std::string> names;
    for (const UploadItem& item : run.files())
        names.push_back(item.name);
    EXPECT_EQ(names, (std::vector<std::string>{"index.html", "item2.html", "cat1-1.html"}));
    EXPECT_EQ(run.unchangedCount(), 1u);
}

TEST_F(PublishRunTest, CancelStopsTheSessionUnderWayAndEndsCancelled) {
    ScriptedFtpServer server([](ScriptedFtpServer::Session& s) { s.clientClosed(5000); });
    setSite("ftplocation", "127.0.0.1:" + std::to_string(server.port()));
    PublishRun run(loop, db, 1, pages(1), options());
    bool ended = false;
    run.OnEnd = [&](const PublishEnd&) { ended = true; };
    run.OnChange = [&] {
        if (run.view().status == "FTP Status : Connecting" && !run.finished())
            loop.post([&] { run.cancel(); });
    };
    run.start();
    loop.runUntil([&] { return ended; }, 10s);
    EXPECT_EQ(run.end().outcome, PublishOutcome::Cancelled);
    EXPECT_FALSE(run.client().Busy());
    server.join();
    EXPECT_TRUE(server.commands().empty());
}

} // namespace
} // namespace vellumite
