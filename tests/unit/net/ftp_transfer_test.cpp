// CFtpClient's transfers against a scripted server: the local file is kept safe, and replies
// and resets of the data connection are handled in whatever order they come.
#include "net/ftp_client.h"
#include "platform/files.h"
#include "support/scripted_ftp_client.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ScriptedFtpServer;
using testing_support::scriptedLogin;
using Session = ScriptedFtpServer::Session;
using FtpTransferTest = testing_support::ScriptedClientTest;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST_F(FtpTransferTest, ADownloadReplacesTheLocalFileOnlyWhenItCompleted) {
    const std::string old(300000, 'o'), part(50000, 'n');
    struct Case {
        const char* name;
        bool existing;  // a local file is there before
        bool overwrite; // else the download resumes after the existing bytes
        std::function<void(Session&)> afterPassive;
        std::int32_t error; // 0: completes
    };
    const Case cases[] = {
        {"complete", true, true,
         [&](Session& s) {
             s.answer("150 Sending");
             s.sendData(part);
             s.closeData();
             s.reply("226 Done");
         },
         0},
        {"aborted part-way", true, true,
         [&](Session& s) {
             s.answer("150 Sending");
             s.sendData(part);
             s.closeData();
             s.reply("426 Connection closed; transfer aborted.");
         },
         16426},
        {"data connection reset, then the reply", true, true,
         [&](Session& s) {
             s.answer("150 Sending");
             s.sendData(part);
             s.resetData();
             s.pause(50);
             s.reply("426 Connection closed; transfer aborted.");
         },
         16426},
        {"refused, no local file before", false, true,
         [](Session& s) { s.answer("550 No such file"); }, 16550},
        {"restart refused", true, false, [](Session& s) { s.answer("502 REST not implemented"); },
         16502},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::TempDir dir;
        const fs::path target = dir / "page.bin";
        if (c.existing)
            platform::files::writeFileAtomic(target, old);
        ScriptedFtpServer server([&](Session& s) {
            scriptedLogin(s);
            s.openPassive();
            c.afterPassive(s);
            s.command(1000);
        });
        ASSERT_EQ(connect(server), arStatusOk);
        client.setPassiveMode(true);
        const auto status =
            driver.run([&] { client.DownloadFile("page.bin", target.string(), c.overwrite); }, 5s);
        if (c.error == 0) {
            ASSERT_EQ(status, arStatusOk) << driver.lastError();
            EXPECT_TRUE(platform::files::readFile(target) == part);
        } else {
            ASSERT_EQ(status, arStatusError);
            EXPECT_EQ(error().Number, c.error) << driver.lastError();
            EXPECT_EQ(fs::exists(target), c.existing);
            if (c.existing) {
                EXPECT_TRUE(platform::files::readFile(target) == old);
            }
        }
        EXPECT_EQ(namesIn(dir.path()).size(), c.existing || c.error == 0 ? 1u : 0u)
            << "nothing else is left beside the target";
    }
}

TEST_F(FtpTransferTest, TheFinalReplyAndAClosingNoticeInOneReadCompleteTheDownload) {
    const std::string content = "the whole page";
    for (const bool dataClosedFirst : {true, false}) {
        SCOPED_TRACE(dataClosedFirst ? "data closed first" : "data closed after the replies");
        testing_support::TempDir dir;
        ScriptedFtpServer server([&](Session& s) {
            scriptedLogin(s);
            s.openPassive();
            s.answer("150 Sending");
            s.sendData(content);
            if (dataClosedFirst) {
                s.closeData();
                s.pause(100);
            }
            s.send("226 Transfer complete\r\n421 Closing, idle too long\r\n");
            s.pause(100);
            s.closeData();
            s.clientClosed();
        });
        ASSERT_EQ(connect(server), arStatusOk);
        client.setPassiveMode(true);
        driver.waits.clear();
        ASSERT_EQ(driver.run([&] { client.DownloadFile("p", (dir / "p").string(), true); }, 5s),
                  arStatusOk)
            << driver.lastError();
        // DATA END comes between RETR and IDLE when the reply finds the data still flowing.
        std::erase(driver.waits, FtpWait::DataEnd);
        EXPECT_EQ(driver.waits,
                  (std::vector<FtpWait>{FtpWait::Type, FtpWait::Pasv, FtpWait::DataConnect,
                                        FtpWait::Retr, FtpWait::Idle}));
        EXPECT_EQ(platform::files::readFile(dir / "p"), content);
        loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; }, 3s);
        EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected) << "the 421 closed it";
        EXPECT_EQ(driver.completions.size(), 2u) << "and raised nothing more";
        driver.completions.clear();
    }
}

TEST_F(FtpTransferTest, ARefusedActiveUploadReportsTheRefusalNotTheResetBeforeIt) {
    testing_support::TempDir dir;
    platform::files::writeFileAtomic(dir / "big.bin", std::string(1024 * 1024, 'u'));
    // The reset races the client's sending: several runs try more of the orders.
    for (int run = 0; run < 3; ++run) {
        ScriptedFtpServer server([](Session& s) {
            scriptedLogin(s);
            s.openActive();
            s.command(); // STOR
            s.connectData();
            s.awaitData();
            s.resetData();
            s.pause(50);
            s.reply("550 Permission denied.");
            s.command(1000);
        });
        ASSERT_EQ(connect(server), arStatusOk);
        EXPECT_TRUE(driver.failsWith(
            16550, [&] { client.UploadFile((dir / "big.bin").string(), "big.bin", 0); }));
        EXPECT_EQ(error().Description, "Requested action not taken.");
        driver.completions.clear();
    }
}

} // namespace
} // namespace vellumite
