// `vellumite publish` as a user runs it: a 40-post site to pyftpdlib, vsftpd and scripted
// servers on 127.0.0.1, plain and over TLS, with the fake web service taking the registration.
#include "platform/database.h"
#include "platform/files.h"
#include "store/trusted_certificates.h"
#include "support/fake_service.h"
#include "support/ftp_servers.h"
#include "support/run_program.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using platform::files::readFile;
using testing_support::FtpServer;
using testing_support::ScriptedFtpServer;
using Names = std::vector<std::string>;

// The sample site of a fresh app folder with 40 posts over four months and two categories (20
// on the item pages, 20 in the archive), some of them highlights.
class PublishCommandTest : public ::testing::Test {
protected:
    PublishCommandTest() {
        EXPECT_EQ(testing_support::runVellumite("--data-dir " + data() + " sites").status, 0);
        db = platform::Database::open((dir / "app/vellumite.db").string());
        db.execute("DELETE FROM VellumitePosts");
        for (int i = 0; i < 40; ++i)
            db.execute("INSERT INTO VellumitePosts (LogID, posttitle, posttext, postdate, "
                       "posttime, PublishPage, boolDisplayInViewRecent, categoryID) VALUES (1, ?, "
                       "?, printf('2026-%02d-%02d', ?, ?), '10:00:00', 1, ?, ?)",
                       {"Post " + std::to_string(i) + " & more", "Body " + std::to_string(i),
                        1 + i / 10, 1 + (i % 10) * 2, i % 5 == 0, 1 + i % 2});
        db.execute("UPDATE VellumiteLog SET advertiseHighlights=-1, LogServerID=NULL, "
                   "pageurl='http://www.example.org', displayTitle='My Log & Co'");
    }

    std::string data() const { return testing_support::shellQuoted((dir / "app").string()); }
    fs::path output() const { return dir / "app/html/output"; }

    void site(const std::string& location, const std::string& user, const std::string& path,
              bool passive = true) {
        db.execute("UPDATE VellumiteLog SET ftplocation=?, ftpusername=?, ftppassword=?, "
                   "ftppath=?, ftppassive=?",
                   {location, user, "s3cret", path, passive});
    }
    void pyftpd(const std::string& path) {
        fs::create_directories(py.writableFolder() / path.substr(std::min<size_t>(1, path.size())));
        site("127.0.0.1:" + std::to_string(py.port()), FtpServer::kUser, path);
    }

    std::string publishArguments(const std::string& options) const {
        return "--data-dir " + data() + " publish 1 --service-url " + service.url() + " " + options;
    }
    testing_support::ProgramRun publish(const std::string& options = "") {
        return testing_support::runVellumite(publishArguments(options));
    }

    // The files a run printed as uploaded ("uploaded 3/7 item2.html (..."), in order.
    static Names uploaded(const std::string& output) {
        Names names;
        for (const std::string& line : platform::files::splitLines(output))
            if (line.starts_with("uploaded "))
                names.push_back(
                    line.substr(line.find(' ', 9) + 1, line.find(" (") - line.find(' ', 9) - 1));
        return names;
    }

    // Every page named is on the server with exactly its bytes.
    void expectArrived(const Names& names, const fs::path& remote) {
        ASSERT_FALSE(names.empty());
        for (const std::string& name : names)
            EXPECT_TRUE(fs::exists(remote / name) &&
                        readFile(remote / name) == readFile(output() / name))
                << name;
    }

    testing_support::TempDir dir, serverDir;
    platform::Database db;
    testing_support::FakeService service;
    FtpServer py{FtpServer::Kind::PyFtpdLib, serverDir.path()};
};

TEST_F(PublishCommandTest, EveryPageArrivesTheSiteIsRegisteredAndAnEditSendsOnlyWhatChanged) {
    pyftpd("");
    auto run = publish("--dry-run"); // lists and connects to nothing: the server has no file
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("7 files, "), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_empty(py.writableFolder()));
    EXPECT_FALSE(fs::exists(dir / "app/publish")) << "nor is an upload manifest written";
    run = publish("--online -v");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("> PASS ****\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("s3cret"), std::string::npos);
    const Names all = uploaded(run.output); // index, 2 item pages, 2 + 2 category pages
    EXPECT_EQ(all.size(), 7u);
    EXPECT_EQ(std::distance(fs::directory_iterator(output()), {}), 7) << "every page generated";
    expectArrived(all, py.writableFolder());
    // The service gave the site an identifier, its answer wrapped in white space.
    EXPECT_EQ(service.requests()[0]["path"],
              "/record_upload.php?url=http://www.example.org&logname=My%20Log%20%26%20Co");
    EXPECT_EQ(db.scalar("SELECT LogServerID FROM VellumiteLog"), platform::Value(42));

    // Into a folder; the site now names its identifier and posts its highlights.
    pyftpd("/site/blog");
    ASSERT_EQ(publish("--online").status, 0);
    expectArrived(all, py.writableFolder() / "site/blog");
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1]["path"], "/record_upload.php?url=http://www.example.org&ID=42"
                                   "&logname=My%20Log%20%26%20Co");
    EXPECT_EQ(requests[2]["path"], "/highlight_xml_to_db.php");
    EXPECT_EQ(db.scalar("SELECT LogServerID FROM VellumiteLog"), platform::Value(42));

    // One post edited: a changed-only run sends the pages whose bytes changed, no other.
    std::map<std::string, std::string> before;
    for (const std::string& name : all)
        before[name] = readFile(output() / name);
    db.execute("UPDATE VellumitePosts SET posttext='Edited' WHERE posttitle='Post 33 & more'");
    run = publish("--online --changed-only");
    ASSERT_EQ(run.status, 0) << run.output;
    Names changed;
    for (const std::string& name : all)
        if (readFile(output() / name) != before[name])
            changed.push_back(name);
    EXPECT_EQ(uploaded(run.output), changed);
    EXPECT_EQ(changed.size(), 3u); // the main page, its item page and its category page

    // The archive: its index and the two months of the 20 oldest posts.
    run = publish("--online --archive");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(uploaded(run.output),
              (Names{"archindex.html", "arch012026.html", "arch022026.html"}));
    expectArrived(uploaded(run.output), py.writableFolder() / "site/blog");
}

TEST_F(PublishCommandTest, AChangedOnlyRunCutShortByARefusalSendsTheRestNextTime) {
    pyftpd("/mirror");
    platform::files::writeFileAtomic(serverDir / "refuse-uploads.txt", "item2.html\n");
    auto run = publish("--online --changed-only");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("vellumite: item2.html was not uploaded: the server said \"550 "),
              std::string::npos)
        << run.output;
    EXPECT_EQ(uploaded(run.output), (Names{"index.html", "item1.html"}));
    fs::remove(serverDir / "refuse-uploads.txt");
    // The rest, on a terminal (script gives the run one): one progress line rewritten in place.
    run = testing_support::runCommand(
        "script -qec " +
        testing_support::shellQuoted(std::string(VELLUMITE_BINARY) + " " +
                                     publishArguments("--online --changed-only")) +
        " /dev/null");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\r\033[Kfile 1 of 5  item2.html  "), std::string::npos);
    EXPECT_NE(run.output.find("(2 unchanged since the last upload)"), std::string::npos);
    EXPECT_TRUE(uploaded(run.output).empty()) << "no line per file on a terminal";
    EXPECT_EQ(uploaded(publish("--online").output).size(), 7u) << "without it, everything";
}

TEST_F(PublishCommandTest, VsftpdTakesTheSiteAndARefusedUploadEndsTheRun) {
    testing_support::TempDir vsDir;
    FtpServer vs(FtpServer::Kind::Vsftpd, vsDir.path());
    const std::string server = "127.0.0.1:" + std::to_string(vs.port());
    site(server, "anonymous", "/pub");
    auto run = publish("--online");
    ASSERT_EQ(run.status, 0) << run.output;
    expectArrived(uploaded(run.output), vs.writableFolder());
    fs::create_directories(vs.writableFolder() / "readonly"); // not the anonymous user's
    site(server, "anonymous", "/pub/readonly");
    run = publish("--online");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("vellumite: index.html was not uploaded: the server said \"553 "),
              std::string::npos)
        << run.output;
}

TEST_F(PublishCommandTest, OverTlsOnlyATrustedCertificateIsTakenAndNothingGoesInTheClear) {
    testing_support::TempDir certificateDir, pyDir, vsDir;
    const testing_support::TestCertificates certificates(certificateDir.path());
    const std::string& fingerprint = certificates.server.fingerprint;
    const std::string& changed = certificates.replacement.fingerprint;
    FtpServer pyTls(FtpServer::Kind::PyFtpdLib, pyDir.path(), &certificates.server);
    // Its data connections resume the session; its certificate is not the one the user trusted.
    FtpServer vsTls(FtpServer::Kind::Vsftpd, vsDir.path(), &certificates.replacement);
    const std::string vs = "127.0.0.1:" + std::to_string(vsTls.port());
    vellumite::TrustedCertificates(dir / "app").trust(1, vs, fingerprint);
    const std::string py = "127.0.0.1:" + std::to_string(pyTls.port());
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"ftpes://" + py, "",
         "is not trusted: no certificate authority known to this computer vouches for it. Nothing "
         "was sent. Its SHA-256 fingerprint is " +
             fingerprint + ".\nvellumite: If you have made sure"},
        {"ftpes://" + py, "--ca-file " + certificates.caFile().string(), ""},
        {"ftpes://" + py, "--trust-fingerprint " + fingerprint, ""},
        {"ftpes://" + vs, "",
         "is not the one trusted for this site: it has changed, or someone is between you and the "
         "server. Nothing was sent. The new certificate's SHA-256 fingerprint is " +
             changed},
        {"ftpes://" + vs, "--trust-fingerprint " + changed, ""},
        {"ftpes://127.0.0.1:" + std::to_string(this->py.port()), "",
         "vellumite: The FTP server does not offer FTP with TLS, so nothing was sent to it, not "
         "even your user name."},
        {py, "--ca-file ca.pem", "need a site published over TLS"},
    };
    for (const auto& [location, options, refusal] : cases) {
        const bool toVs = location.ends_with(vs);
        site(location, toVs ? "anonymous" : FtpServer::kUser, toVs ? "/pub" : "");
        auto run = publish("--online -v " + options);
        EXPECT_EQ(run.status, refusal.empty() ? 0 : 1) << run.output;
        EXPECT_NE(run.output.find(refusal.empty() ? "[TLS] control connection: TLS" : refusal),
                  std::string::npos)
            << run.output;
        if (refusal.empty())
            expectArrived(uploaded(run.output), (toVs ? vsTls : pyTls).writableFolder());
        else
            EXPECT_EQ(run.output.find("> USER"), std::string::npos) << "nothing in the clear";
    }
}

TEST_F(PublishCommandTest, EachFailureSaysWhyAndExitsWithOne) {
    ScriptedFtpServer silent([](ScriptedFtpServer::Session& s) { s.pause(10000); });
    const std::string nobody = "127.0.0.1:" + std::to_string(testing_support::freeLoopbackPort());
    const std::string ours = "127.0.0.1:" + std::to_string(py.port());
    const std::string quiet = "127.0.0.1:" + std::to_string(silent.port());
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {ours, "", "--offline", "Your computer does not appear to be online."},
        {"", "", "--online", "Your ftp settings are not complete."},
        {nobody, "", "--online",
         "Error connecting.  Please check your settings or contact your service provider."},
        {quiet, "", "--online --timeout 1",
         "Timed out.  Your FTP address may be incorrect.  Please check your settings."},
        {"127.0.0.1:99999", "", "--online",
         "The FTP server setting cannot be used: the port in \"127.0.0.1:99999\" must be a "
         "number from 1 to 65535."},
        {ours, "/nowhere", "--online", "Vellumite had problems finding your ftp path"},
    };
    for (const auto& [location, path, options, message] : cases) {
        site(location, FtpServer::kUser, path);
        auto run = publish(options);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("vellumite: " + message), std::string::npos) << run.output;
    }
}

} // namespace
