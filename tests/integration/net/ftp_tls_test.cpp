// CFtpClient over explicit TLS against pyftpdlib on 127.0.0.1, with certificates made for the
// test: which certificates get the login, and servers without TLS. (Transfers over TLS are
// among the real-server tests.)
#include "net/ftp_client.h"
#include "support/ftp_driver.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using testing_support::FtpServer;
using testing_support::TestCertificate;
using testing_support::TestCertificates;
using Kind = FtpServer::Kind;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

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
