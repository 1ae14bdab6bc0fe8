// CFtpClient over explicit TLS against vsftpd and pyftpdlib on 127.0.0.1, with certificates
// made for the test: transfers in both modes, the certificate checks, servers without TLS.
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
using platform::files::readFile;
using platform::files::writeFileAtomic;
using testing_support::FtpServer;
using testing_support::TestCertificate;
using testing_support::TestCertificates;
using Kind = FtpServer::Kind;

std::string pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// One set of certificates and one TLS server of each kind for the whole suite.
struct Servers {
    testing_support::TempDir certificateDir, pyDir, vsDir;
    TestCertificates certificates{certificateDir.path()};
    FtpServer py{Kind::PyFtpdLib, pyDir.path(), &certificates.server};
    FtpServer vs{Kind::Vsftpd, vsDir.path(), &certificates.server};
};

struct Setup {
    Kind server;
    bool passive;
    const char* name;
};

class TlsTransferTest : public ::testing::TestWithParam<Setup> {
protected:
    static void SetUpTestSuite() { servers = std::make_unique<Servers>(); }
    static void TearDownTestSuite() { servers.reset(); }

    void SetUp() override {
        const bool py = GetParam().server == Kind::PyFtpdLib;
        server = py ? &servers->py : &servers->vs;
        remoteBase = server->writableRemote() + GetParam().name;
        localBase = server->writableFolder() / GetParam().name;
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(server->port());
        client.setPassiveMode(GetParam().passive);
        client.setTimeOut(10);
        client.setUseTls(true);
        client.setCaFile(servers->certificates.caFile().string());
        if (py) {
            client.setUserName(FtpServer::kUser);
            client.setPassword(FtpServer::kPassword);
        }
        ASSERT_TRUE(driver.succeeds([&] { client.Connect(); }));
        ASSERT_TRUE(driver.succeeds([&] { client.CreateDirectory(remoteBase); }));
        ASSERT_TRUE(driver.succeeds([&] { client.SetCurrentDirectory(remoteBase); }));
    }

    static std::unique_ptr<Servers> servers;
    const FtpServer* server = nullptr;
    platform::EventLoop loop;
    CFtpClient client{loop};
    testing_support::FtpDriver driver{loop, client};
    testing_support::TempDir local;
    std::string remoteBase;
    fs::path localBase;
};

std::unique_ptr<Servers> TlsTransferTest::servers;

// Both servers refuse logins and data connections in the clear, and vsftpd data connections
// that do not resume the control connection's session: what got through was encrypted.
TEST_P(TlsTransferTest, UploadDownloadAndListingAreByteExactOverEncryptedConnections) {
    client.setSendBufferLenght(1024);
    const std::pair<const char*, std::string> files[] = {
        {"empty.bin", ""},
        {"exact.bin", pattern(4 * 1024, 1)}, // four full pieces, none short
        {"odd.bin", pattern(300 * 1024 + 17, 2)},
    };
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        writeFileAtomic(local / "up.bin", content);
        ASSERT_TRUE(driver.succeeds([&] { client.UploadFile((local / "up.bin").string(), name); }));
        EXPECT_TRUE(readFile(localBase / name) == content) << "the server's copy differs";
        ASSERT_TRUE(
            driver.succeeds([&] { client.DownloadFile(name, (local / name).string(), true); }));
        EXPECT_TRUE(readFile(local / name) == content) << "the downloaded copy differs";
    }
    ASSERT_TRUE(driver.succeeds([&] { client.EnumFiles(); }));
    auto listed = client.CurrentDirectoryFiles();
    ASSERT_TRUE(listed && listed->Count() == 3) << client.CurrentDirectoryListing();
    EXPECT_EQ(listed->Item(std::string("odd.bin"))->FileSize, 300 * 1024 + 17);

    // The control connection, then one data connection per transfer, each resuming its session.
    ASSERT_EQ(driver.tls.size(), 1u + 7u);
    EXPECT_TRUE(contains(driver.tls[0], "control connection: TLSv1.")) << driver.tls[0];
    EXPECT_TRUE(contains(driver.tls[0], "certificate trusted by the system")) << driver.tls[0];
    for (std::size_t i = 1; i < driver.tls.size(); ++i)
        EXPECT_TRUE(contains(driver.tls[i], "data connection: TLSv1.") &&
                    contains(driver.tls[i], "session resumed"))
            << driver.tls[i];
    ASSERT_TRUE(driver.succeeds([&] { client.QuitSession(); }));
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsTransferTest,
                         ::testing::Values(Setup{Kind::PyFtpdLib, true, "pyftpdlib_passive"},
                                           Setup{Kind::PyFtpdLib, false, "pyftpdlib_active"},
                                           Setup{Kind::Vsftpd, true, "vsftpd_passive"},
                                           Setup{Kind::Vsftpd, false, "vsftpd_active"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The certificate checks, each against a pyftpdlib presenting the certificate of the case.
TEST(FtpTlsCertificates, OnlyATrustedCertificateForTheHostGetsTheLogin) {
    testing_support::TempDir certificateDir;
    TestCertificates certificates(certificateDir.path());
    const std::string ca = certificates.caFile().string();
    struct Case {
        const char* name;
        const TestCertificate& presented;
        std::string caFile;
        std::vector<std::string> trusted;
        int error;                // 0 for a login
        const char* reasonOrNote; // in the error's text, or in the control connection's report
    };
    const std::string oldFingerprint = certificates.server.fingerprint;
    const Case cases[] = {
        {"no one vouches for it",
         certificates.server,
         "",
         {},
         10601,
         "unable to get local issuer certificate"},
        {"its authority is given", certificates.server, ca, {}, 0, "trusted by the system"},
        {"its fingerprint is trusted",
         certificates.server,
         "",
         {oldFingerprint},
         0,
         "trusted by its fingerprint"},
        {"the certificate changed",
         certificates.replacement,
         "",
         {oldFingerprint},
         10601,
         "self-signed certificate"},
        {"it names another host", certificates.otherHost, ca, {}, 10601, "IP address mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::TempDir serverDir;
        FtpServer server(Kind::PyFtpdLib, serverDir.path(), &c.presented);
        platform::EventLoop loop;
        CFtpClient client(loop);
        testing_support::FtpDriver driver(loop, client);
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(server.port());
        client.setUserName(FtpServer::kUser);
        client.setPassword(FtpServer::kPassword);
        client.setUseTls(true);
        client.setCaFile(c.caFile);
        client.setTrustedFingerprints(c.trusted);
        if (c.error == 0) {
            ASSERT_TRUE(driver.succeeds([&] { client.Connect(); }));
            ASSERT_FALSE(driver.tls.empty());
            EXPECT_TRUE(contains(driver.tls[0], c.reasonOrNote)) << driver.tls[0];
            ASSERT_TRUE(driver.succeeds([&] { client.QuitSession(); }));
            continue;
        }
        ASSERT_TRUE(driver.failsWith(c.error, [&] { client.Connect(); }));
        const std::string& text = client.LastFtpError().Description;
        EXPECT_TRUE(contains(text, c.reasonOrNote)) << text;
        EXPECT_TRUE(contains(text, c.presented.fingerprint)) << text;
        EXPECT_EQ(client.ServerCertificate().fingerprint, c.presented.fingerprint);
        EXPECT_EQ(client.FtpSessionState(), FtpState::NotConnected);
        EXPECT_TRUE(driver.tls.empty()) << "no connection was reported secured";
    }
}

TEST(FtpTlsRefusal, AServerWithoutTlsEndsTheConnectBeforeTheLogin) {
    testing_support::TempDir serverDir;
    FtpServer plain(Kind::PyFtpdLib, serverDir.path());
    platform::EventLoop loop;
    CFtpClient client(loop);
    testing_support::FtpDriver driver(loop, client);
    client.setFtpServer("127.0.0.1");
    client.setRemotePort(plain.port());
    client.setUserName(FtpServer::kUser);
    client.setPassword(FtpServer::kPassword);
    client.setUseTls(true);
    ASSERT_TRUE(driver.failsWith(16010, [&] { client.Connect(); }));
    EXPECT_TRUE(contains(client.LastFtpError().Description, "does not offer FTP over TLS"));
    EXPECT_TRUE(contains(client.LastServerResponse(), "500")) << client.LastServerResponse();
    EXPECT_TRUE(loop.runUntil([&] { return client.FtpSessionState() == FtpState::NotConnected; },
                              std::chrono::seconds(5)))
        << "the connection is closed";
    EXPECT_EQ(driver.waits.back(), FtpWait::Idle);
    EXPECT_EQ(std::count(driver.waits.begin(), driver.waits.end(), FtpWait::User), 0);
}

} // namespace
} // namespace vellumite
