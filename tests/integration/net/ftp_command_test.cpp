// `vellumite ftp` against pyftpdlib on 127.0.0.1.
#include "platform/files.h"
#include "support/ftp_servers.h"
#include "support/run_program.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using platform::files::readFile;
using testing_support::FtpServer;
using testing_support::runVellumite;

class FtpCommandTest : public ::testing::Test {
protected:
    testing_support::TempDir serverDir, local;
    FtpServer py{FtpServer::Kind::PyFtpdLib, serverDir.path()};
    const std::string login = std::string(FtpServer::kUser) + ":" + FtpServer::kPassword;
    const std::string base = "ftp://" + login + "@127.0.0.1:" + std::to_string(py.port());
};

TEST_F(FtpCommandTest, EveryActionInBothModesWithTheExchangeShownOnRequest) {
    const std::string content(200 * 1024 + 5, 'z');
    platform::files::writeFileAtomic(local / "page.html", content);
    for (const std::string mode : {"--passive", "--active"}) {
        SCOPED_TRACE(mode);
        const fs::path folder = py.writableFolder() / ("site" + mode);
        const std::string url = base + "/site" + mode;
        auto run = [&](const std::string& args) {
            auto r = runVellumite("ftp " + mode + " " + args);
            EXPECT_EQ(r.status, 0) << args << "\n" << r.output;
            return r.output;
        };
        run("mkdir " + url);
        EXPECT_TRUE(fs::is_directory(folder));
        auto output = run("put " + url + "/ '" + (local / "page.html").string() + "'");
        EXPECT_TRUE(readFile(folder / "page.html") == content);
        EXPECT_NE(output.find("204805 bytes of 204805 (100%)"), std::string::npos) << output;
        // Verbose: the exchange shows the mode's command and never the password.
        output = run("-v ls " + url);
        EXPECT_NE(output.find("204805"), std::string::npos) << output;
        EXPECT_NE(output.find("page.html"), std::string::npos) << output;
        EXPECT_NE(output.find(mode == "--active" ? "> PORT " : "> PASV"), std::string::npos);
        EXPECT_NE(output.find("> PASS ****"), std::string::npos) << output;
        EXPECT_NE(output.find("[USER] -> [PASS]"), std::string::npos) << output;
        EXPECT_NE(output.find("[TYPE] -> [" + std::string(mode == "--active" ? "PORT" : "PASV")),
                  std::string::npos)
            << output;
        EXPECT_EQ(output.find(FtpServer::kPassword), std::string::npos) << output;
        run("get " + url + "/page.html '" + (local / "back.html").string() + "'");
        EXPECT_TRUE(readFile(local / "back.html") == content);
        run("rm " + url + "/page.html");
        EXPECT_FALSE(fs::exists(folder / "page.html"));
    }
    auto r = runVellumite("ftp quote " + base + "/ 'SYST'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("215 "), std::string::npos) << r.output;
}

TEST_F(FtpCommandTest, FailuresPrintTheClientsErrorAndExitNonZero) {
    const std::pair<std::string, std::string> cases[] = {
        {"rm " + base + "/missing.txt", "error 16550: Requested action not taken."},
        {"ls " + base + "/a%0d%0aDELE%20x", "error 5: Invalid procedure call or argument"},
        {"ls http://127.0.0.1/", "must start with ftp://"},
        {"ls ftpes://127.0.0.1:" + std::to_string(py.port()) + "/",
         "error 16010: The server does not offer FTP over TLS"},
        {"put " + base + "/x.txt '" + (local / "nothere").string() + "'", "cannot open"},
        {"--timeout 5 ls ftp://127.0.0.1:" + std::to_string(testing_support::freeLoopbackPort()) +
             "/",
         "error 10061: Connection refused."},
    };
    for (const auto& [args, expected] : cases) {
        auto r = runVellumite("ftp " + args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.output;
        EXPECT_NE(r.output.find(expected), std::string::npos) << args << "\n" << r.output;
    }
}

// ftpes:// against pyftpdlib speaking TLS only, with a certificate made for the test.
TEST(FtpCommandTlsTest, TrustComesFromTheCaFileOrTheFingerprintAndOtherwiseTheFingerprintIsShown) {
    testing_support::TempDir certificateDir, serverDir, local;
    testing_support::TestCertificates certificates(certificateDir.path());
    FtpServer server(FtpServer::Kind::PyFtpdLib, serverDir.path(), &certificates.server);
    const std::string url = "ftpes://" + std::string(FtpServer::kUser) + ":" +
                            FtpServer::kPassword + "@127.0.0.1:" + std::to_string(server.port());
    const std::string caFile =
        "--ca-file " + testing_support::shellQuoted(certificates.caFile().string());
    const std::string fingerprint = certificates.server.fingerprint;

    const std::string content(100 * 1024 + 1, 't');
    platform::files::writeFileAtomic(local / "page.html", content);
    const std::string page = testing_support::shellQuoted((local / "page.html").string());
    auto r = runVellumite("ftp --active " + caFile + " put " + url + "/ " + page);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(readFile(server.writableFolder() / "page.html") == content);
    r = runVellumite("ftp -v --trust-fingerprint " + fingerprint + " ls " + url + "/");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* shown :
         {"[TLS] control connection: TLSv1.3, TLS_", "trusted by its fingerprint",
          "[TLS] data connection: TLSv1.3, TLS_", "> PROT P", "page.html"})
        EXPECT_NE(r.output.find(shown), std::string::npos) << shown << "\n" << r.output;

    const std::pair<std::string, std::vector<std::string>> refusals[] = {
        {"ls " + url + "/",
         {"error 10601: The certificate of 127.0.0.1 is not trusted (",
          "Its SHA-256 fingerprint is " + fingerprint + ".",
          "run again with --trust-fingerprint " + fingerprint}},
        {"--trust-fingerprint " + certificates.replacement.fingerprint + " ls " + url + "/",
         {"error 10601: ", fingerprint, "the server's certificate has changed"}},
        {"--trust-fingerprint 12:34 ls " + url + "/", {"takes a SHA-256 fingerprint"}},
    };
    for (const auto& [args, expected] : refusals) {
        r = runVellumite("ftp " + args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.output;
        for (const auto& part : expected)
            EXPECT_NE(r.output.find(part), std::string::npos) << args << "\n" << r.output;
    }
}

// Against a scripted server: what a misbehaving server sends must not reach the terminal as
// it is, nor hold the command past its time-out.
TEST(FtpCommandScriptedTest, ControlCharactersAreShownEscapedAndJunkDoesNotHoldTheTimeOut) {
    testing_support::ScriptedFtpServer hostile([](auto& s) {
        s.reply("220 \x1b]0;owned\x07Ready \x1b[2J");
        s.answer("331 Password required");
        s.answer("230 Logged in");
        s.answer("257 \"/\"");
        s.openPassive();
        s.answer("150 Here it comes");
        s.sendData("-rw-r--r-- 1 u g 5 Mar 14 09:30 \x1b[2Jclear\x9b.txt\r\n");
        s.closeData();
        s.reply("226 Done");
        s.answer("221 Bye");
    });
    auto r = runVellumite("ftp -v ls ftp://u:p@127.0.0.1:" + std::to_string(hostile.port()) + "/");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find_first_of("\x1b\x07\x9b"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("< 220 \\x1b]0;owned\\x07Ready \\x1b[2J"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(" \\x1b[2Jclear\\x9b.txt\n"), std::string::npos) << r.output;

    testing_support::ScriptedFtpServer junk([](auto& s) {
        while (s.pause(100))
            s.send("junk line\r\n");
    });
    r = runVellumite("ftp --timeout 1 ls ftp://127.0.0.1:" + std::to_string(junk.port()) + "/");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("error 10060: "), std::string::npos) << r.output;
}

} // namespace
