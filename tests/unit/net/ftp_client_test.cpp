// CFtpClient against a scripted server: exact reply sequences, time-outs, cancel, bad input.
#include "net/ftp_client.h"
#include "platform/files.h"
#include "support/ftp_driver.h"
#include "support/raises.h"
#include "support/scripted_ftp_client.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using testing_support::ScriptedFtpServer;
using Session = ScriptedFtpServer::Session;
using Commands = std::vector<std::string>;
using testing_support::raised;

using FtpClientTest = testing_support::ScriptedClientTest;
const auto login = testing_support::scriptedLogin;

TEST_F(FtpClientTest, RepliesSplitOverSeveralArrivalsAreActedOnOnceAnd421WhileIdleCloses) {
    bool closed = false;
    ScriptedFtpServer server([&](Session& s) {
        s.send("220-Welcome to\r\n220-the scripted");
        s.pause(100);
        s.send(" server\r\n220 Rea");
        s.pause(100);
        s.send("dy\r\n");
        s.command();
        s.send("331 Pass");
        s.pause(100);
        s.send("word required\r");
        s.pause(100);
        s.send("\n");
        s.answer("230 OK");
        s.answer("257 \"C:\\sites\\mine\"");
        s.pause(100);
        s.reply("421 Timeout, closing control connection");
        closed = s.clientClosed();
    });
    ASSERT_EQ(connect(server, ""), arStatusOk) << driver.lastError();
    loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; }, 3s);
    server.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(server.commands(), (Commands{"USER anonymous", "PASS anonymous@example.com", "PWD"}));
    EXPECT_EQ(client.UserName(), "anonymous");
    EXPECT_EQ(driver.completions.size(), 1u) << "none for the 421 without an operation";
    EXPECT_EQ(client.FtpServerMessage(), "Welcome to\r\nthe scripted server");
    EXPECT_EQ(client.FtpServerMessage(), "") << "emptied by reading";
    EXPECT_EQ(client.CurrentDirectory(), "C:/sites/mine");
    EXPECT_EQ(driver.states,
              (std::vector<FtpState>{FtpState::Connecting, FtpState::AwaitingGreeting,
                                     FtpState::LoggingIn, FtpState::LoggingIn, FtpState::LoggedIn,
                                     FtpState::Listing, FtpState::Ready, FtpState::NotConnected}));
    EXPECT_EQ(driver.waits, (std::vector<FtpWait>{FtpWait::Greeting, FtpWait::User, FtpWait::Pass,
                                                  FtpWait::Pwd, FtpWait::Idle}));
}

// Where a multi-line reply ends: see the reply reader's test.
TEST_F(FtpClientTest, BytesThatNeverMakeAWholeReplyDoNotHoldOffTheTimeOut) {
    // What the server keeps sending instead of its greeting, one piece every 100 ms.
    for (const char* piece : {"2", "junk line\r\n", "220-still greeting\r\n"}) {
        SCOPED_TRACE(piece);
        ScriptedFtpServer server([&](Session& s) {
            while (s.pause(100))
                s.send(piece);
        });
        client.setTimeOut(1);
        EXPECT_EQ(connect(server), arStatusTimeOut);
        client.CancelAsyncMethod();
    }
}

TEST_F(FtpClientTest, LoginAnswersAndRefusals) {
    struct Case {
        const char* name;
        const char* replies; // to USER, PASS, PWD as far as they are asked, a line each
        const char* commands;
        std::int32_t error;
        const char* description;
    };
    const Case cases[] = {
        {"USER answered 230 skips PASS", "230 OK\n257 \"/\"", "USER site\nPWD", 0, ""},
        {"PASS answered 202", "331 Password required\n202 Already logged in\n257 \"/\"",
         "USER site\nPASS pw\nPWD", 0, ""},
        {"PASS refused", "331 Password required\n530 Login incorrect", "USER site\nPASS pw", 16530,
         "Not logged in."},
        {"USER refused", "530 Not allowed", "USER site", 16530, "Not logged in."},
        {"account needed", "332 Need account", "USER site", 16332, "Need account for login."},
        {"PWD without a quoted path", "230 OK\n257 current directory is /", "USER site\nPWD", 16001,
         "Cannot retrieve the current directory path. Unexpected server response."},
    };
    for (const auto& c : cases) {
        bool closed = false;
        ScriptedFtpServer server([&](Session& s) {
            s.reply("220 Ready");
            for (const auto& reply : platform::files::splitLines(c.replies))
                s.answer(reply);
            closed = s.clientClosed(c.error == 0 ? 300 : 5000);
        });
        ASSERT_EQ(connect(server), c.error == 0 ? arStatusOk : arStatusError) << c.name;
        EXPECT_EQ(error().Number, c.error) << c.name;
        EXPECT_EQ(error().Description, c.description) << c.name;
        driver.settle(50ms);
        EXPECT_EQ(client.FtpSessionState(), c.error == 0 ? FtpState::Ready : FtpState::NotConnected)
            << c.name;
        server.join();
        EXPECT_EQ(server.commands(), platform::files::splitLines(c.commands)) << c.name;
        EXPECT_EQ(closed, c.error != 0) << c.name << ": a failed login closes the connection";
    }
}

TEST_F(FtpClientTest, SilentServerTimesOutRepeatedlyUntilCancelled) {
    ScriptedFtpServer server([](Session& s) { s.pause(10000); });
    client.setTimeOut(1);
    const auto start = std::chrono::steady_clock::now();
    auto secondsSinceStart = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    ASSERT_EQ(connect(server), arStatusTimeOut);
    EXPECT_GE(secondsSinceStart(), 0.95);
    EXPECT_EQ(client.FtpSessionState(), FtpState::AwaitingGreeting) << "still under way";
    ASSERT_EQ(driver.next(3s), arStatusTimeOut);
    EXPECT_GE(secondsSinceStart(), 1.9) << "the next tick keeps the schedule";
    client.CancelAsyncMethod();
    ASSERT_EQ(driver.completions.back(), std::make_pair(std::string("OnConnect"), arStatusCancel));
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
    driver.settle(1300ms);
    EXPECT_EQ(driver.completions.size(), 3u) << "the time-out stops with the operation";
}

TEST_F(FtpClientTest, BusyMethodCancelledUploadWithLateRepliesThenLostConnection) {
    testing_support::TempDir dir;
    platform::files::writeFileAtomic(dir / "big.bin", std::string(8 * 1024 * 1024, 'u'));
    ScriptedFtpServer server([](Session& s) {
        login(s);
        s.command(); // PWD, answered late
        s.pause(300);
        s.reply("257 \"/later\"");
        s.openPassive();
        s.answer("150 Ok to send data"); // STOR
        s.pause(300); // the client sends until its buffers are full, then cancels
        s.closeData();
        s.reply("426 Connection closed; transfer aborted.");
        s.pause(100);
        s.reply("226 Transfer complete");
        s.answer("257 \"/after\"");
        s.command(); // MKD, left unanswered as the connection closes
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.GetCurrentDirectory();
    EXPECT_EQ(raised([&] { client.SetCurrentDirectory("/x"); }),
              "16007 Cannot execute the SetCurrentDirectory method. Waiting fot the server "
              "response on the previous command. [CFtpClient.SetCurrentDirectory]");
    ASSERT_EQ(driver.next(3s), arStatusOk);
    EXPECT_EQ(driver.completions.back().first, "OnGetCurrentDirectory");
    EXPECT_EQ(client.CurrentDirectory(), "/later");

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
    EXPECT_EQ(driver.completions.size(), 3u) << "the late 426 and 226 change nothing";
    EXPECT_EQ(client.FtpSessionState(), FtpState::Ready);
    ASSERT_TRUE(driver.succeeds([&] { client.GetCurrentDirectory(); }));
    EXPECT_EQ(client.CurrentDirectory(), "/after");

    EXPECT_TRUE(driver.failsWith(16008, [&] { client.CreateDirectory("new"); }));
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
    server.join();
    EXPECT_EQ(server.commands(), (Commands{"USER site", "PASS pw", "PWD", "PWD", "TYPE I", "PASV",
                                           "STOR big.bin", "PWD", "MKD new"}));
}

// A failed download leaves the local file as it was: see the transfer test.
TEST_F(FtpClientTest, PassiveRepliesNamingAnotherHostOrNoAddressAndListings) {
    const std::string listing = "-rw-r--r-- 1 u g 5 Mar 14 09:30 a.txt\r\n";
    ScriptedFtpServer server([&](Session& s) {
        login(s);
        for (const std::string& text : {listing, std::string("this is not a listing\r\n")}) {
            // Only 127.0.0.1 listens: the client must connect to its control peer all the same.
            s.openPassive("127,0,0,2");
            s.answer("150 Here comes the listing"); // LIST
            s.sendData(text);
            s.closeData();
            s.reply("226 Done");
        }
        s.answer("200 Type set");
        s.answer("227 Entering Passive Mode 127,0,0,1,4,1");
        s.command(1000);
    });
    ASSERT_EQ(connect(server), arStatusOk);
    client.setPassiveMode(true);
    ASSERT_TRUE(driver.succeeds([&] { client.EnumFiles(); }));
    EXPECT_EQ(client.CurrentDirectoryListing(), listing);
    ASSERT_TRUE(client.CurrentDirectoryFiles());
    EXPECT_EQ(client.CurrentDirectoryFiles()->Item(1)->FileName, "a.txt");

    EXPECT_TRUE(driver.failsWith(16002, [&] { client.EnumFiles(); }));
    EXPECT_EQ(error().Description, "Unknown listing format.");
    EXPECT_EQ(client.CurrentDirectoryListing(), "this is not a listing\r\n");
    EXPECT_FALSE(client.CurrentDirectoryFiles());

    EXPECT_TRUE(driver.failsWith(16003, [&] { client.EnumFiles(); }));
    EXPECT_EQ(error().Source, "CFtpClient.EstablishPasvDataConnection");
    EXPECT_EQ(client.FtpSessionState(), FtpState::Ready);
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
            [&] { client.CreateDirectory(name); },
            [&] { client.RenameFile("ok", name); },
            [&] { client.RenameFile(name, "ok"); },
            [&] { client.DownloadFile(name, "/tmp/never", true); },
            [&] { client.UploadFile("/etc/hostname", name, 0); },
            [&] { client.Quote(name); },
        };
        for (const auto& call : calls) {
            EXPECT_THAT(raised(call), ::testing::StartsWith("5 Invalid procedure call"));
            EXPECT_FALSE(client.Busy());
        }
    }
    driver.settle(200ms);
    server.join();
    EXPECT_EQ(server.commands().size(), 3u) << "only the login reached the server";
}

TEST_F(FtpClientTest, PropertyAndArgumentErrors) {
    const std::string badValue = "380 Invalid property value. [CFtpClient.";
    EXPECT_EQ(raised([&] { client.setRemotePort(0); }), badValue + "RemotePort]");
    EXPECT_EQ(raised([&] { client.setRemotePort(65536); }), badValue + "RemotePort]");
    EXPECT_EQ(raised([&] { client.setSendBufferLenght(511); }), badValue + "SendBufferLenght]");
    EXPECT_EQ(raised([&] { client.setSendBufferLenght(8193); }), badValue + "SendBufferLenght]");
    EXPECT_EQ(client.RemotePort(), 21);
    EXPECT_EQ(client.SendBufferLenght(), 1460);
    EXPECT_EQ(raised([&] { client.Connect(); }), badValue + "Connect]");
    EXPECT_EQ(raised([&] { client.DeleteFile(""); }),
              "5 Invalid procedure call or argument [CFtpClient.DeleteFile]");
    // Twice: the first failure must not leave the client busy, which would give 16007.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(raised([&] { client.GetCurrentDirectory(); }),
                  "16008 The connection is not established. [CFtpClient.SendFtpCommand]");
}

// Asked for TLS, the client sends nothing after the greeting but AUTH TLS until the handshake
// has succeeded: not when AUTH is refused, and not when the server goes on in the clear.
TEST_F(FtpClientTest, WithoutAWorkingTlsHandshakeNothingButAuthIsSent) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"502 Command not implemented", 16010},
        {"534 Request denied for policy reasons", 16010},
        {"234 Go ahead\r\n230 Logged in, no TLS needed", 10600}};
    for (const auto& [authReply, number] : cases) {
        SCOPED_TRACE(authReply);
        bool closed = false;
        ScriptedFtpServer server([&](Session& s) {
            s.reply("220 Scripted server ready");
            s.answer(authReply);
            s.reply("331 Password required"); // as if USER had come in the clear
            closed = s.clientClosed(3000);
        });
        client.setUseTls(true);
        client.setTimeOut(5);
        ASSERT_EQ(connect(server), arStatusError);
        EXPECT_EQ(error().Number, number) << driver.lastError();
        server.join();
        EXPECT_TRUE(closed) << "the client leaves";
        ASSERT_FALSE(server.commands().empty());
        EXPECT_EQ(server.commands()[0], "AUTH TLS");
        for (const auto& command : server.commands())
            EXPECT_EQ(command.find("USER"), std::string::npos) << command;
        EXPECT_TRUE(driver.tls.empty());
    }
}

TEST(GetFreePort, GoesThroughEveryPortFrom20000To65535AndNoOther) {
    std::set<int> seen;
    for (int i = 0; i < 50000; ++i) {
        const int port = ftp_detail::GetFreePort();
        ASSERT_GE(port, 20000);
        ASSERT_LE(port, 65535);
        seen.insert(port);
    }
    EXPECT_EQ(seen.size(), 65536u - 20000u);
}

} // namespace
} // namespace vellumite
