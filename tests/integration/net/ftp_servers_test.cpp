// CFtpClient against real servers on 127.0.0.1, pyftpdlib and vsftpd, passive and active.
#include "net/ftp_client.h"
#include "support/ftp_driver.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::FtpDriver;

enum class Server { PyFtpdLib, Vsftpd };
struct Setup {
    Server server;
    bool passive;
};

std::string name(const ::testing::TestParamInfo<Setup>& info) {
    return std::string(info.param.server == Server::PyFtpdLib ? "pyftpdlib" : "vsftpd") +
           (info.param.passive ? "_passive" : "_active");
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// One server of each kind for the whole suite; each test works in its own folder.
struct Servers {
    testing_support::TempDir pyDir, vsDir;
    std::unique_ptr<testing_support::PyFtpServer> py;
    std::unique_ptr<testing_support::VsftpdServer> vs;
    Servers() {
        fs::create_directories(pyDir / "root");
        py = std::make_unique<testing_support::PyFtpServer>(pyDir / "root");
        vs = std::make_unique<testing_support::VsftpdServer>(vsDir.path());
    }
};

class RealServerTest : public ::testing::TestWithParam<Setup> {
protected:
    static void SetUpTestSuite() { servers = new Servers(); }
    static void TearDownTestSuite() {
        delete servers;
        servers = nullptr;
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::string(info->name());
        std::replace(folder.begin(), folder.end(), '/', '_');
        const bool py = GetParam().server == Server::PyFtpdLib;
        remoteBase = py ? "/" + folder : std::string("/pub/") + folder;
        localBase = (py ? servers->pyDir / "root" : servers->vs->writableFolder()) / folder;
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(py ? servers->py->port() : servers->vs->port());
        client.setPassiveMode(GetParam().passive);
        client.setTimeOut(30);
    }

    // Logs in (as the test user on pyftpdlib, anonymously on vsftpd) and makes the test's
    // folder the current one.
    void loginToFolder() {
        if (GetParam().server == Server::PyFtpdLib) {
            client.setUserName(servers->py->user());
            client.setPassword(servers->py->password());
        }
        ASSERT_EQ(driver.run([&] { client.Connect(); }), arStatusOk) << driver.lastError();
        ASSERT_EQ(driver.run([&] { client.CreateDirectory(remoteBase); }), arStatusOk)
            << driver.lastError();
        ASSERT_EQ(driver.run([&] { client.SetCurrentDirectory(remoteBase); }), arStatusOk);
    }

    void roundTrip(const std::string& content, const std::string& remote) {
        SCOPED_TRACE(remote);
        writeFile(local / "up.bin", content);
        ASSERT_EQ(driver.run([&] { client.UploadFile((local / "up.bin").string(), remote, 0); }),
                  arStatusOk)
            << driver.lastError();
        EXPECT_TRUE(readFile(localBase / remote) == content) << "the server's copy differs";
        fs::remove(local / "down.bin");
        ASSERT_EQ(
            driver.run([&] { client.DownloadFile(remote, (local / "down.bin").string(), true); }),
            arStatusOk)
            << driver.lastError();
        EXPECT_TRUE(readFile(local / "down.bin") == content) << "the downloaded copy differs";
    }

    static Servers* servers;
    platform::EventLoop loop;
    CFtpClient client{loop};
    FtpDriver driver{loop, client};
    testing_support::TempDir local;
    std::string folder, remoteBase;
    fs::path localBase;
};

Servers* RealServerTest::servers = nullptr;

TEST_P(RealServerTest, LoginAndDirectoryOperations) {
    loginToFolder();
    ASSERT_EQ(driver.run([&] { client.GetCurrentDirectory(); }), arStatusOk);
    EXPECT_EQ(client.CurrentDirectory(), remoteBase);

    ASSERT_EQ(driver.run([&] { client.CreateDirectory("sub"); }), arStatusOk);
    EXPECT_TRUE(fs::is_directory(localBase / "sub"));
    ASSERT_EQ(driver.run([&] { client.CreateDirectory("sub"); }), arStatusError)
        << "a folder that exists already";
    EXPECT_EQ(client.LastFtpError().Number, 16550);
    EXPECT_EQ(client.LastFtpError().Description, "Requested action not taken.");

    writeFile(local / "a.txt", "alpha");
    ASSERT_EQ(driver.run([&] { client.UploadFile((local / "a.txt").string(), "a.txt", 0); }),
              arStatusOk);
    ASSERT_EQ(driver.run([&] { client.RenameFile("a.txt", "b.txt"); }), arStatusOk)
        << driver.lastError();
    EXPECT_FALSE(fs::exists(localBase / "a.txt"));
    EXPECT_EQ(readFile(localBase / "b.txt"), "alpha");
    ASSERT_EQ(driver.run([&] { client.DeleteFile("b.txt"); }), arStatusOk);
    EXPECT_FALSE(fs::exists(localBase / "b.txt"));
    ASSERT_EQ(driver.run([&] { client.DeleteFile("b.txt"); }), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16550);

    ASSERT_EQ(driver.run([&] { client.RemoveDirectory("sub"); }), arStatusOk);
    EXPECT_FALSE(fs::exists(localBase / "sub"));
    ASSERT_EQ(driver.run([&] { client.SetCurrentDirectory("missing"); }), arStatusError);
    EXPECT_EQ(client.LastFtpError().Number, 16550);

    ASSERT_EQ(driver.run([&] { client.QuitSession(); }), arStatusOk);
    loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; }, 5s);
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
}

TEST_P(RealServerTest, AnonymousLogin) {
    client.setUserName("");
    ASSERT_EQ(driver.run([&] { client.Connect(); }), arStatusOk) << driver.lastError();
    EXPECT_EQ(client.UserName(), "anonymous");
    EXPECT_EQ(client.CurrentDirectory(), "/");
}

TEST_P(RealServerTest, ListingIsParsedIntoFiles) {
    loginToFolder();
    writeFile(local / "f.txt", std::string(1234, 'x'));
    ASSERT_EQ(
        driver.run([&] { client.UploadFile((local / "f.txt").string(), "page one.html", 0); }),
        arStatusOk);
    ASSERT_EQ(driver.run([&] { client.CreateDirectory("images"); }), arStatusOk);
    ASSERT_EQ(driver.run([&] { client.EnumFiles(); }), arStatusOk) << driver.lastError();
    auto files = client.CurrentDirectoryFiles();
    ASSERT_TRUE(files) << client.CurrentDirectoryListing();
    ASSERT_EQ(files->Count(), 2) << client.CurrentDirectoryListing();
    auto page = files->Item(std::string("page one.html"));
    EXPECT_FALSE(page->IsDirectory);
    EXPECT_EQ(page->FileSize, 1234);
    EXPECT_EQ(page->Permissions.size(), 10u);
    EXPECT_EQ(page->LastWriteTime.year, ftp_listing::localNow().year);
    EXPECT_TRUE(files->Item(std::string("images"))->IsDirectory);
    EXPECT_EQ(driver.progress.back(),
              static_cast<std::int64_t>(client.CurrentDirectoryListing().size()));
}

TEST_P(RealServerTest, TransfersAreByteExact) {
    loginToFolder();
    client.setSendBufferLenght(1024);
    roundTrip("", "empty.bin");
    roundTrip(pattern(4 * 1024, 1), "exact.bin"); // four full pieces, none short
    roundTrip(pattern(300 * 1024 + 17, 2), "odd.bin");
    EXPECT_FALSE(driver.progress.empty());
}

TEST_P(RealServerTest, ResumedDownloadAndUpload) {
    loginToFolder();
    const std::string content = pattern(700 * 1024 + 3, 3);
    writeFile(localBase / "whole.bin", content);
    writeFile(local / "part.bin", content.substr(0, 250 * 1024));
    driver.progress.clear();
    ASSERT_EQ(
        driver.run([&] { client.DownloadFile("whole.bin", (local / "part.bin").string(), false); }),
        arStatusOk)
        << driver.lastError();
    EXPECT_TRUE(readFile(local / "part.bin") == content);
    ASSERT_FALSE(driver.progress.empty());
    EXPECT_GT(driver.progress.front(), 250 * 1024) << "progress counts the bytes there already";
    EXPECT_EQ(driver.progress.back(), static_cast<std::int64_t>(content.size()));

    // The first part goes up in one session, the rest in a resumed upload.
    writeFile(local / "first.bin", content.substr(0, 300 * 1024));
    ASSERT_EQ(
        driver.run([&] { client.UploadFile((local / "first.bin").string(), "resumed.bin", 0); }),
        arStatusOk);
    writeFile(local / "full.bin", content);
    ASSERT_EQ(driver.run([&] {
        client.UploadFile((local / "full.bin").string(), "resumed.bin", 300 * 1024);
    }),
              arStatusOk)
        << driver.lastError();
    EXPECT_TRUE(readFile(localBase / "resumed.bin") == content);

    // An existing local file with overwrite is replaced, not appended to.
    writeFile(local / "old.bin", std::string(900 * 1024, 'o'));
    ASSERT_EQ(
        driver.run([&] { client.DownloadFile("whole.bin", (local / "old.bin").string(), true); }),
        arStatusOk);
    EXPECT_TRUE(readFile(local / "old.bin") == content);
}

TEST_P(RealServerTest, RefusedStoreReportsTheReplyCode) {
    loginToFolder();
    writeFile(local / "x.txt", "x");
    ASSERT_EQ(driver.run([&] {
        client.UploadFile((local / "x.txt").string(), "no/such/folder/x.txt", 0);
    }),
              arStatusError);
    const auto& error = client.LastFtpError();
    EXPECT_TRUE(error.Number == 16550 || error.Number == 16553) << driver.lastError();
    EXPECT_EQ(error.Description, "Requested action not taken.");
    EXPECT_EQ(error.Source, "RarIrovudI.CFtpClient");
    EXPECT_EQ(driver.completions.back().first, "OnUploadFile");
    // The session goes on.
    ASSERT_EQ(driver.run([&] { client.GetCurrentDirectory(); }), arStatusOk);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTest,
                         ::testing::Values(Setup{Server::PyFtpdLib, true},
                                           Setup{Server::PyFtpdLib, false},
                                           Setup{Server::Vsftpd, true},
                                           Setup{Server::Vsftpd, false}),
                         name);

// 50 MB each way: one server in each mode, to keep the suite quick.
class LargeTransferTest : public RealServerTest {};

TEST_P(LargeTransferTest, FiftyMegabytesRoundTrip) {
    loginToFolder();
    client.setSendBufferLenght(8192);
    roundTrip(pattern(50 * 1024 * 1024, 4), "large.bin");
}

INSTANTIATE_TEST_SUITE_P(Servers, LargeTransferTest,
                         ::testing::Values(Setup{Server::PyFtpdLib, true},
                                           Setup{Server::Vsftpd, false}),
                         name);

} // namespace
} // namespace vellumite
