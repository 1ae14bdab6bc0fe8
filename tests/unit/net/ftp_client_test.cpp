// CFtpClient against a scripted server: exact reply sequences, time-outs, cancel, bad input.
#include "net/ftp_client.h"
#include "net/numbered_error.h"
#include "support/ftp_driver.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using testing_support::FtpDriver;
using testing_support::ScriptedFtpServer;
using Session = ScriptedFtpServer::Session;
using Commands = std::vector<std::string>;

// The usual greeting and login, answered as most servers do.
void login(Session& s) {
    s.reply("220 Scripted server ready");
    if (s.command().rfind("USER", 0) == 0)
        s.reply("331 Password required");
    if (s.command().rfind("PASS", 0) == 0)
        s.reply("230 Logged in");
    if (s.command() == "PWD")
        s.reply("257 \"/home/site\" is the current directory");
}

std::string portArgument(int port) {
    return "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class FtpClientTest : public ::testing::Test {
protected:
    platform::EventLoop loop;
    CFtpClient client{loop};
    FtpDriver driver{loop, client};

    std::optional<AsyncResultStatus> connect(const ScriptedFtpServer& server,
                                             const std::string& user = "site") {
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(server.port());
        client.setUserName(user);
        client.setPassword("pw");
        return driver.run([&] { client.Connect(); }, 10s);
    }
};

TEST_F(FtpClientTest, RepliesSplitOverSeveralArrivalsAreActedOnOnce) {
    ScriptedFtpServer server([](Session& s) {
        s.send("220 Wel");
        s.pause(100);
        s.send("come\r\n");
        if (s.command() == "USER site") {
            s.send("331 Pass");
            s.pause(100);
            s.send("word required\r");
            s.pause(100);
            s.send("\n");
        }
        if (s.command() == "PASS pw")
            s.reply("230 OK");
        if (s.command() == "PWD")
            s.reply("257 \"/\"");
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk) << driver.lastError();
    server.join();
    EXPECT_EQ(server.commands(), (Commands{"USER site", "PASS pw", "PWD"}));
    EXPECT_EQ(driver.completions.size(), 1u);
    EXPECT_EQ(client.CurrentDirectory(), "/");
    EXPECT_EQ(client.FtpSessionState(), FtpState::Ready);
    EXPECT_EQ(driver.states,
              (std::vector<FtpState>{FtpState::Connecting, FtpState::AwaitingGreeting,
                                     FtpState::LoggingIn, FtpState::LoggingIn, FtpState::LoggedIn,
                                     FtpState::Listing, FtpState::Ready}));
}

TEST_F(FtpClientTest, MultiLineGreetingFillsServerMessageUntilRead) {
    ScriptedFtpServer server([](Session& s) {
        s.send("220-Welcome to\r\n220-the scripted server\r\n");
        s.pause(100);
        s.send("220 Ready\r\n");
        if (s.command().rfind("USER", 0) == 0)
            s.reply("230 No password needed");
        if (s.command() == "PWD")
            s.reply("257 \"C:\\sites\\mine\"");
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk) << driver.lastError();
    server.join();
    EXPECT_EQ(server.commands(), (Commands{"USER site", "PWD"})) << "230 to USER skips PASS";
    EXPECT_EQ(client.FtpServerMessage(), "Welcome to\r\nthe scripted server");
    EXPECT_EQ(client.FtpServerMessage(), "");
    EXPECT_EQ(client.CurrentDirectory(), "C:/sites/mine");
}

TEST_F(FtpClientTest, LoginAnswersAndRefusals) {
    struct Case {
        const char* userReply;
        const char* passReply; // nullptr: PASS is not expected
        AsyncResultStatus status;
        std::int32_t error;
    };
    const Case cases[] = {
        {"331 Password required", "202 Already logged in", arStatusOk, 0},
        {"331 Password required", "530 Login incorrect", arStatusError, 16530},
        {"530 Not allowed", nullptr, arStatusError, 16530},
        {"332 Need account", nullptr, arStatusError, 16332},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.userReply) + " / " + (c.passReply ? c.passReply : "-"));
        ScriptedFtpServer server([&](Session& s) {
            s.reply("220 Ready");
            s.command();
            s.reply(c.userReply);
            if (c.passReply) {
                s.command();
                s.reply(c.passReply);
            }
            if (c.status == arStatusOk && s.command() == "PWD")
                s.reply("257 \"/\"");
            if (c.status == arStatusError) {
                EXPECT_TRUE(s.clientClosed()) << "a refused login closes the connection";
            }
            s.command(300);
        });
        ASSERT_EQ(connect(server), c.status) << driver.lastError();
        EXPECT_EQ(client.LastFtpError().Number, c.error);
        if (c.error != 0) {
            EXPECT_EQ(client.LastFtpError().Source, "RarIrovudI.CFtpClient");
        }
        server.join();
        driver.settle(50ms);
        client.CancelAsyncMethod(); // nothing running: no event
        driver.completions.clear();
    }
}

TEST_F(FtpClientTest, AnonymousLoginUsesThePlaceholderAddress) {
    ScriptedFtpServer server([](Session& s) { login(s); });
    client.setUserName("");
    client.setFtpServer("127.0.0.1");
    client.setRemotePort(server.port());
    ASSERT_EQ(driver.run([&] { client.Connect(); }), arStatusOk);
    server.join();
    EXPECT_EQ(server.commands()[0], "USER anonymous");
    EXPECT_EQ(server.commands()[1], "PASS anonymous@example.com");
}

TEST_F(FtpClientTest, PwdReplyWithoutQuotedPathFailsTheConnection) {
    bool closed = false;
    ScriptedFtpServer server([&](Session& s) {
        s.reply("220 Ready");
        s.command();
        s.reply("230 OK");
        s.command();
        s.reply("257 current directory is /");
        closed = s.clientClosed();
    });
    ASSERT_EQ(connect(server), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16001);
    EXPECT_EQ(client.LastFtpError().Description,
              "Cannot retrieve the current directory path. Unexpected server response.");
    server.join();
    EXPECT_TRUE(closed);
    driver.settle(50ms);
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
}

TEST_F(FtpClientTest, Reply421WhileIdleClosesTheConnection) {
    bool closed = false;
    ScriptedFtpServer server([&](Session& s) {
        login(s);
        s.pause(100);
        s.reply("421 Timeout, closing control connection");
        closed = s.clientClosed();
    });
    ASSERT_EQ(connect(server), arStatusOk);
    loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; }, 3s);
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
    server.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(driver.completions.size(), 1u) << "no completion without an operation";
}

TEST_F(FtpClientTest, SilentServerTimesOutRepeatedlyUntilCancelled) {
    ScriptedFtpServer server([](Session& s) { s.pause(10000); });
    client.setTimeOut(1);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(connect(server), arStatusTimeOut);
    const double first =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(first, 0.95);
    EXPECT_LT(first, 3.0);
    EXPECT_EQ(client.FtpSessionState(), FtpState::AwaitingGreeting) << "still under way";
    ASSERT_EQ(driver.next(3s), arStatusTimeOut);
    const double second =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(second, 1.9) << "the next tick keeps the schedule";
    EXPECT_LT(second, 5.0);
    client.CancelAsyncMethod();
    ASSERT_EQ(driver.completions.back(), std::make_pair(std::string("OnConnect"), arStatusCancel));
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
    driver.settle(1300ms);
    EXPECT_EQ(driver.completions.size(), 3u) << "the time-out stops with the operation";
}

TEST_F(FtpClientTest, MethodWhileBusyRaises16007AndLeavesTheRunningOperation) {
    ScriptedFtpServer server([](Session& s) {
        login(s);
        if (s.command() == "PWD") {
            s.pause(300);
            s.reply("257 \"/later\"");
        }
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.GetCurrentDirectory();
    try {
        client.SetCurrentDirectory("/x");
        ADD_FAILURE() << "no error while busy";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 16007);
        EXPECT_EQ(e.description(), "Cannot execute the SetCurrentDirectory method. Waiting fot the "
                                   "server response on the previous command.");
        EXPECT_EQ(e.source(), "CFtpClient.SetCurrentDirectory");
    }
    ASSERT_EQ(driver.next(3s), arStatusOk);
    EXPECT_EQ(driver.completions.back().first, "OnGetCurrentDirectory");
    EXPECT_EQ(client.CurrentDirectory(), "/later");
    server.join();
    EXPECT_EQ(server.commands().back(), "PWD");
}

TEST_F(FtpClientTest, CancelDuringUploadThenLateRepliesAreIgnored) {
    testing_support::TempDir dir;
    writeFile(dir / "big.bin", std::string(8 * 1024 * 1024, 'u'));
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command(); // TYPE I
        s.reply("200 Type set");
        s.command(); // PASV
        int port = s.listenData();
        s.reply("227 Entering Passive Mode (" + portArgument(port) + ")");
        s.acceptData();
        s.command(); // STOR
        s.reply("150 Ok to send data");
        s.pause(300); // the client sends until its buffers are full, then cancels
        s.closeData();
        s.reply("426 Connection closed; transfer aborted.");
        s.pause(100);
        s.reply("226 Transfer complete");
        if (s.command() == "PWD")
            s.reply("257 \"/after\"");
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.setPassiveMode(true);
    client.OnDataTransferProgress = [&](std::int64_t) {
        if (client.FtpSessionState() == FtpState::Uploading)
            client.CancelAsyncMethod();
    };
    ASSERT_EQ(driver.run([&] { client.UploadFile((dir / "big.bin").string(), "big.bin", 0); }),
              arStatusCancel);
    EXPECT_EQ(driver.completions.back().first, "OnUploadFile");
    EXPECT_FALSE(client.DataTransferInProgress());
    driver.settle(600ms);
    EXPECT_EQ(driver.completions.size(), 2u) << "the late 426 and 226 change nothing";
    EXPECT_EQ(client.FtpSessionState(), FtpState::Ready);
    ASSERT_EQ(driver.run([&] { client.GetCurrentDirectory(); }), arStatusOk);
    EXPECT_EQ(client.CurrentDirectory(), "/after");
}

TEST_F(FtpClientTest, PassiveReplyNamingAnotherHostConnectsToTheControlPeer) {
    const std::string listing = "-rw-r--r-- 1 u g 5 Mar 14 09:30 a.txt\r\n";
    bool accepted = false;
    ScriptedFtpServer server([&](Session& s) {
        login(s);
        s.command(); // TYPE A
        s.reply("200 Type set");
        s.command(); // PASV
        int port = s.listenData("127.0.0.1");
        s.reply("227 Entering Passive Mode (127,0,0,2," + std::to_string(port / 256) + "," +
                std::to_string(port % 256) + ")");
        accepted = s.acceptData();
        if (s.command() == "LIST") {
            s.reply("150 Here comes the listing");
            s.sendData(listing);
            s.closeData();
            s.reply("226 Done");
        }
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.setPassiveMode(true);
    ASSERT_EQ(driver.run([&] { client.EnumFiles(); }, 10s), arStatusOk) << driver.lastError();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(client.CurrentDirectoryListing(), listing);
    ASSERT_TRUE(client.CurrentDirectoryFiles());
    EXPECT_EQ(client.CurrentDirectoryFiles()->Item(1)->FileName, "a.txt");
}

TEST_F(FtpClientTest, PassiveReplyWithoutAddressFailsTheOperation) {
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command();
        s.reply("200 Type set");
        s.command();
        s.reply("227 Entering Passive Mode 127,0,0,1,4,1");
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.setPassiveMode(true);
    ASSERT_EQ(driver.run([&] { client.EnumFiles(); }), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16003);
    EXPECT_EQ(client.LastFtpError().Source, "CFtpClient.EstablishPasvDataConnection");
    EXPECT_EQ(client.FtpSessionState(), FtpState::Ready);
}

TEST_F(FtpClientTest, ActiveModeListingAndUnknownFormat) {
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command(); // TYPE A
        s.reply("200 Type set");
        std::string port = s.command();
        s.reply("200 PORT command successful");
        if (s.command() == "LIST" && s.connectData(port.substr(5))) {
            s.reply("150 Opening data connection");
            s.sendData("this is not a listing\r\n");
            s.closeData();
            s.reply("226 Done");
        }
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    ASSERT_EQ(driver.run([&] { client.EnumFiles(); }, 10s), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16002);
    EXPECT_EQ(client.LastFtpError().Description, "Unknown listing format.");
    EXPECT_EQ(client.CurrentDirectoryListing(), "this is not a listing\r\n");
    EXPECT_FALSE(client.CurrentDirectoryFiles());
    const auto commands = server.commands();
    ASSERT_GE(commands.size(), 5u);
    EXPECT_EQ(commands[4].rfind("PORT 127,0,0,1,", 0), 0u) << commands[4];
}

TEST_F(FtpClientTest, DownloadAbortedAfterTheDataEndsIsAnErrorAndKeepsTheOldFile) {
    testing_support::TempDir dir;
    writeFile(dir / "page.html", "the old page");
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command();
        s.reply("200 Type set");
        s.command();
        int port = s.listenData();
        s.reply("227 Entering Passive Mode (" + portArgument(port) + ")");
        s.acceptData();
        if (s.command() == "RETR page.html") {
            s.reply("150 Sending");
            s.closeData(); // nothing sent, then the server admits the failure
            s.pause(100);
            s.reply("451 Local error in processing");
        }
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.setPassiveMode(true);
    ASSERT_EQ(
        driver.run([&] { client.DownloadFile("page.html", (dir / "page.html").string(), true); }),
        arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16451);
    EXPECT_EQ(readFile(dir / "page.html"), "the old page");
}

TEST_F(FtpClientTest, LostControlConnectionEndsTheOperationWithAnError) {
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command(); // MKD
        s.close();
    });
    ASSERT_EQ(connect(server), arStatusOk);
    ASSERT_EQ(driver.run([&] { client.CreateDirectory("new"); }, 5s), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16008);
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
}

TEST_F(FtpClientTest, NamesWithLineBreaksOrNulAreRefusedBeforeAnythingIsSent) {
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command(1500);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    const std::string hostile[] = {"a\r\nDELE index.html", "a\nRMD /", std::string("a\0b", 3),
                                   "x\r"};
    for (const auto& name : hostile) {
        const std::function<void()> calls[] = {
            [&] { client.SetCurrentDirectory(name); },
            [&] { client.CreateDirectory(name); },
            [&] { client.RemoveDirectory(name); },
            [&] { client.DeleteFile(name); },
            [&] { client.RenameFile("ok", name); },
            [&] { client.RenameFile(name, "ok"); },
            [&] { client.DownloadFile(name, "/tmp/never", true); },
            [&] { client.UploadFile("/etc/hostname", name, 0); },
            [&] { client.Quote(name); },
        };
        for (const auto& call : calls) {
            try {
                call();
                ADD_FAILURE() << "accepted a hostile name";
            } catch (const NumberedError& e) {
                EXPECT_EQ(e.number(), 5);
                EXPECT_EQ(e.description(), "Invalid procedure call or argument");
            }
            EXPECT_FALSE(client.Busy());
        }
    }
    driver.settle(200ms);
    server.join();
    EXPECT_EQ(server.commands().size(), 3u) << "only the login reached the server";
}

TEST_F(FtpClientTest, PropertyAndArgumentErrors) {
    auto expectError = [](int number, const std::string& source, const std::function<void()>& f) {
        try {
            f();
            ADD_FAILURE() << "no error from " << source;
        } catch (const NumberedError& e) {
            EXPECT_EQ(e.number(), number) << source;
            EXPECT_EQ(e.source(), source);
        }
    };
    expectError(380, "CFtpClient.RemotePort", [&] { client.setRemotePort(0); });
    expectError(380, "CFtpClient.RemotePort", [&] { client.setRemotePort(65536); });
    expectError(380, "CFtpClient.SendBufferLenght", [&] { client.setSendBufferLenght(511); });
    expectError(380, "CFtpClient.SendBufferLenght", [&] { client.setSendBufferLenght(8193); });
    EXPECT_EQ(client.RemotePort(), 21);
    EXPECT_EQ(client.SendBufferLenght(), 1460);
    expectError(380, "CFtpClient.Connect", [&] { client.Connect(); });
    expectError(5, "CFtpClient.DeleteFile", [&] { client.DeleteFile(""); });
    expectError(16008, "CFtpClient.SendFtpCommand", [&] { client.GetCurrentDirectory(); });
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
    // Not left busy by the first failure: the same error again, not 16007.
    expectError(16008, "CFtpClient.SendFtpCommand", [&] { client.GetCurrentDirectory(); });
}

} // namespace
} // namespace vellumite

namespace vellumite {
namespace {

TEST(GetFreePort, StaysWithinValidPortsAndWrapsAfterTheLast) {
    int previous = ftp_detail::GetFreePort();
    EXPECT_GE(previous, 20000);
    EXPECT_LE(previous, 65535);
    int outOfRange = 0, wraps = 0;
    for (int i = 0; i < 50000; ++i) { // more than the whole range above 20000
        const int port = ftp_detail::GetFreePort();
        if (port < 20000 || port > 65535)
            ++outOfRange;
        if (port != previous + 1) {
            ++wraps;
            EXPECT_EQ(previous, 65535);
            EXPECT_EQ(port, 20000);
        }
        previous = port;
    }
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(wraps, 1);
}

} // namespace
} // namespace vellumite
