// CFtpClient against real servers on 127.0.0.1, pyftpdlib and vsftpd, passive and active, plain
// and over explicit TLS with a certificate made for the test.
#include "net/ftp_client.h"
#include "platform/files.h"
#include "support/ftp_driver.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::files::readFile;
using platform::files::writeFileAtomic;
using testing_support::FtpServer;
using Kind = FtpServer::Kind;

struct Setup {
    Kind server;
    bool passive;
    const char* name;
    bool tls = false;
};
const Setup kSetups[] = {{Kind::PyFtpdLib, true, "pyftpdlib_passive"},
                         {Kind::PyFtpdLib, false, "pyftpdlib_active"},
                         {Kind::Vsftpd, true, "vsftpd_passive"},
                         {Kind::Vsftpd, false, "vsftpd_active"},
                         {Kind::PyFtpdLib, true, "pyftpdlib_tls_passive", true},
                         {Kind::PyFtpdLib, false, "pyftpdlib_tls_active", true},
                         {Kind::Vsftpd, true, "vsftpd_tls_passive", true},
                         {Kind::Vsftpd, false, "vsftpd_tls_active", true}};
const Setup &kPyPassive = kSetups[0], &kVsActive = kSetups[3];
std::string name(const ::testing::TestParamInfo<Setup>& info) {
    return info.param.name;
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

// One server of each kind, plain and TLS only, for the whole suite; each test works in its own
// folder. The TLS servers refuse logins and data connections in the clear, and vsftpd data
// connections that do not resume the control connection's session.
struct Servers {
    testing_support::TempDir pyDir, vsDir, certificateDir, pyTlsDir, vsTlsDir;
    FtpServer py{Kind::PyFtpdLib, pyDir.path()}, vs{Kind::Vsftpd, vsDir.path()};
    testing_support::TestCertificates certificates{certificateDir.path()};
    FtpServer pyTls{Kind::PyFtpdLib, pyTlsDir.path(), &certificates.server};
    FtpServer vsTls{Kind::Vsftpd, vsTlsDir.path(), &certificates.server};

    const FtpServer& of(const Setup& setup) const {
        if (setup.server == Kind::PyFtpdLib)
            return setup.tls ? pyTls : py;
        return setup.tls ? vsTls : vs;
    }
};

class RealServerTest : public ::testing::TestWithParam<Setup> {
protected:
    static void SetUpTestSuite() { servers = std::make_unique<Servers>(); }
    static void TearDownTestSuite() { servers.reset(); }

    // Logs in (as the test user on pyftpdlib, anonymously on vsftpd, which takes no other) and
    // makes the test's own folder the current one.
    void SetUp() override {
        std::string folder = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(folder.begin(), folder.end(), '/', '_');
        const bool py = GetParam().server == Kind::PyFtpdLib;
        const FtpServer& server = servers->of(GetParam());
        remoteBase = server.writableRemote() + folder;
        localBase = server.writableFolder() / folder;
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(server.port());
        client.setPassiveMode(GetParam().passive);
        client.setTimeOut(30);
        client.setUseTls(GetParam().tls);
        client.setCaFile(servers->certificates.caFile().string());
        if (py) {
            client.setUserName(FtpServer::kUser);
            client.setPassword(FtpServer::kPassword);
        }
        ASSERT_TRUE(driver.succeeds([&] { client.Connect(); }));
        ASSERT_TRUE(driver.succeeds([&] { client.CreateDirectory(remoteBase); }));
        ASSERT_TRUE(driver.succeeds([&] { client.SetCurrentDirectory(remoteBase); }));
    }
    ::testing::AssertionResult upload(const std::string& content, const std::string& remote,
                                      std::int64_t from = 0) {
        writeFileAtomic(local / "up.bin", content);
        return driver.succeeds(
            [&] { client.UploadFile((local / "up.bin").string(), remote, from); });
    }
    ::testing::AssertionResult download(const std::string& remote, const fs::path& to,
                                        bool overwrite = true) {
        return driver.succeeds([&] { client.DownloadFile(remote, to.string(), overwrite); });
    }
    void roundTrip(const std::string& content, const std::string& remote) {
        SCOPED_TRACE(remote);
        ASSERT_TRUE(upload(content, remote));
        EXPECT_TRUE(readFile(localBase / remote) == content) << "the server's copy differs";
        ASSERT_TRUE(download(remote, local / remote));
        EXPECT_TRUE(readFile(local / remote) == content) << "the downloaded copy differs";
    }

    static std::unique_ptr<Servers> servers;
    platform::EventLoop loop;
    CFtpClient client{loop};
    testing_support::FtpDriver driver{loop, client};
    testing_support::TempDir local;
    std::string remoteBase;
    fs::path localBase;
};

std::unique_ptr<Servers> RealServerTest::servers;

TEST_P(RealServerTest, DirectoryOperationsListingAndRefusals) {
    // A refused STOR: the reply code in the error, and the session goes on. (pyftpdlib in
    // active mode may reset the data connection before its refusal arrives.)
    EXPECT_FALSE(upload("x", "no/such/folder/x.txt"));
    const auto& error = client.LastFtpError();
    EXPECT_TRUE(error.Number == 16550 || error.Number == 16553) << driver.lastError();
    EXPECT_EQ(error.Source, "RarIrovudI.CFtpClient");
    EXPECT_EQ(driver.completions.back(),
              std::make_pair(std::string("OnUploadFile"), arStatusError));
    ASSERT_TRUE(driver.succeeds([&] { client.GetCurrentDirectory(); }));
    EXPECT_EQ(client.CurrentDirectory(), remoteBase);
    ASSERT_TRUE(driver.succeeds([&] { client.CreateDirectory("sub"); }));
    EXPECT_TRUE(fs::is_directory(localBase / "sub"));
    EXPECT_TRUE(driver.failsWith(16550, [&] { client.CreateDirectory("sub"); }));
    EXPECT_EQ(client.LastFtpError().Description, "Requested action not taken.");

    ASSERT_TRUE(upload(std::string(1234, 'x'), "page one.html"));
    ASSERT_TRUE(driver.succeeds([&] { client.EnumFiles(); }));
    auto files = client.CurrentDirectoryFiles();
    ASSERT_TRUE(files && files->Count() == 2) << client.CurrentDirectoryListing();
    auto page = files->Item(std::string("page one.html"));
    EXPECT_FALSE(page->IsDirectory);
    EXPECT_EQ(page->FileSize, 1234);
    EXPECT_EQ(page->LastWriteTime.year, ftp_listing::localNow().year);
    EXPECT_TRUE(files->Item(std::string("sub"))->IsDirectory);
    EXPECT_EQ(driver.progress.back(),
              static_cast<std::int64_t>(client.CurrentDirectoryListing().size()));

    ASSERT_TRUE(driver.succeeds([&] { client.RenameFile("page one.html", "b.txt"); }));
    EXPECT_FALSE(fs::exists(localBase / "page one.html"));
    EXPECT_EQ(readFile(localBase / "b.txt"), std::string(1234, 'x'));
    ASSERT_TRUE(driver.succeeds([&] { client.DeleteFile("b.txt"); }));
    EXPECT_FALSE(fs::exists(localBase / "b.txt"));
    EXPECT_TRUE(driver.failsWith(16550, [&] { client.DeleteFile("b.txt"); }));
    ASSERT_TRUE(driver.succeeds([&] { client.RemoveDirectory("sub"); }));
    EXPECT_FALSE(fs::exists(localBase / "sub"));
    EXPECT_TRUE(driver.failsWith(16550, [&] { client.SetCurrentDirectory("missing"); }));

    ASSERT_TRUE(driver.succeeds([&] { client.QuitSession(); }));
    loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; }, 5s);
    EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
}

TEST_P(RealServerTest, TransfersAreByteExactAndResume) {
    client.setSendBufferLenght(1024);
    roundTrip("", "empty.bin");
    roundTrip(pattern(4 * 1024, 1), "exact.bin"); // four full pieces, none short
    roundTrip(pattern(300 * 1024 + 17, 2), "odd.bin");

    const std::string content = pattern(700 * 1024 + 3, 3);
    writeFileAtomic(localBase / "whole.bin", content, fs::perms(0644)); // the server reads it
    writeFileAtomic(local / "part.bin", content.substr(0, 250 * 1024));
    driver.progress.clear();
    ASSERT_TRUE(download("whole.bin", local / "part.bin", false));
    EXPECT_TRUE(readFile(local / "part.bin") == content);
    EXPECT_GT(driver.progress.front(), 250 * 1024) << "progress counts the bytes there already";
    EXPECT_EQ(driver.progress.back(), static_cast<std::int64_t>(content.size()));

    // The first part goes up in one session, the rest in a resumed upload.
    ASSERT_TRUE(upload(content.substr(0, 300 * 1024), "resumed.bin"));
    ASSERT_TRUE(upload(content, "resumed.bin", 300 * 1024));
    EXPECT_TRUE(readFile(localBase / "resumed.bin") == content);

    // An existing local file with overwrite is replaced, not appended to.
    writeFileAtomic(local / "old.bin", std::string(900 * 1024, 'o'));
    ASSERT_TRUE(download("whole.bin", local / "old.bin"));
    EXPECT_TRUE(readFile(local / "old.bin") == content);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTest, ::testing::ValuesIn(kSetups), name);

// 50 MB each way: one server in each mode, to keep the suite quick.
class LargeTransferTest : public RealServerTest {};

TEST_P(LargeTransferTest, FiftyMegabytesRoundTrip) {
    client.setSendBufferLenght(8192);
    roundTrip(pattern(50 * 1024 * 1024, 4), "large.bin");
}

INSTANTIATE_TEST_SUITE_P(Servers, LargeTransferTest, ::testing::Values(kPyPassive, kVsActive),
                         name);

} // namespace
} // namespace vellumite
