// `vellumite publish` as a user runs it: a 40-post site to pyftpdlib, vsftpd and scripted
// servers on 127.0.0.1, with the fake web service taking the registration.
#include "platform/database.h"
#include "platform/files.h"
#include "support/fake_service.h"
#include "support/ftp_servers.h"
#include "support/run_program.h"
#include "support/scripted_ftp_client.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;
using platform::files::readFile;
using testing_support::FtpServer;
using testing_support::ScriptedFtpServer;
using Names = std::set<std::string>;

// An app folder whose sample site holds 40 posts over four months and two categories (20 on
// the main and item pages, 20 in the archive), with some highlights, and the given FTP settings.
class PublishCommandTest : public ::testing::Test {
protected:
    PublishCommandTest() {
        auto made = testing_support::runVellumite("--data-dir " + data() + " sites");
        EXPECT_EQ(made.status, 0) << made.output;
        db = platform::Database::open((dir / "app/vellumite.db").string());
        db.execute("DELETE FROM VellumitePosts");
        for (int i = 0; i < 40; ++i) {
            char date[16];
            std::snprintf(date, sizeof date, "2026-%02d-%02d", 1 + i / 10, 1 + (i % 10) * 2);
            db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, "
                       "postdate, posttime, PublishPage, boolDisplayInViewRecent, categoryID) "
                       "VALUES (1, ?, 'Ann', ?, ?, '10:00:00', 1, ?, ?)",
                       {"Post " + std::to_string(i) + " & more",
                        "Body of post " + std::to_string(i), std::string(date), i % 5 == 0,
                        1 + i % 2});
        }
        db.execute("UPDATE VellumiteLog SET advertiseHighlights=-1, LogServerID=NULL, "
                   "pageurl='http://www.example.org', displayTitle='My Log & Co'");
    }

    std::string data() const { return testing_support::shellQuoted((dir / "app").string()); }
    fs::path output() const { return dir / "app/html/output"; }

    void site(const std::string& location, const std::string& user, const std::string& password,
              const std::string& path, bool passive = true) {
        db.execute("UPDATE VellumiteLog SET ftplocation=?, ftpusername=?, ftppassword=?, "
                   "ftppath=?, ftppassive=?",
                   {location, user, password, path, passive});
    }
    void pyftpd(const std::string& path) {
        site("127.0.0.1:" + std::to_string(py.port()), FtpServer::kUser, FtpServer::kPassword,
             path);
    }

    // Online, unless the options say otherwise.
    testing_support::ProgramRun publish(const std::string& options = "") {
        const bool offline = options.find("--offline") != std::string::npos;
        return testing_support::runVellumite("--data-dir " + data() + " publish 1 " +
                                             (offline ? "" : "--online ") + "--service-url " +
                                             service.url() + " " + options);
    }

    // The files a run printed as uploaded, in order.
    static std::vector<std::string> uploaded(const std::string& output) {
        std::vector<std::string> names;
        for (const std::string& line : platform::files::splitLines(output))
            if (line.starts_with("uploaded ")) {
                const std::string rest = line.substr(line.find(' ', 9) + 1);
                names.push_back(rest.substr(0, rest.find(" (")));
            }
        return names;
    }

    // Every page the run generated is on the server with exactly its bytes.
    void expectArrived(const std::vector<std::string>& names, const fs::path& remote) {
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

TEST_F(PublishCommandTest, EveryPageArrivesWithAnEmptyAndAConfiguredPathAndTheSiteIsRegistered) {
    pyftpd("");
    auto run = publish();
    ASSERT_EQ(run.status, 0) << run.output;
    const auto names = uploaded(run.output);
    // index, two item pages, the pages of two categories; nothing else of the output folder.
    EXPECT_EQ(Names(names.begin(), names.end()).size(), names.size());
    Names expected;
    for (const auto& entry : fs::directory_iterator(output()))
        if (entry.path().filename() != "highlights.xml")
            expected.insert(entry.path().filename().string());
    EXPECT_EQ(Names(names.begin(), names.end()), expected);
    EXPECT_EQ(names.front(), "index.html");
    expectArrived(names, py.writableFolder());
    EXPECT_NE(run.output.find(std::to_string(names.size()) + " files, "), std::string::npos);

    // The service gave the site an identifier (its answer wrapped in white space).
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], "/record_upload.php?url=http://www.example.org"
                                   "&logname=My%20Log%20%26%20Co");
    EXPECT_EQ(db.scalar("SELECT LogServerID FROM VellumiteLog"), platform::Value(42));

    // Into a folder of the server; now the site names its identifier and posts its highlights.
    fs::create_directories(py.writableFolder() / "site/blog");
    pyftpd("/site/blog");
    run = publish();
    ASSERT_EQ(run.status, 0) << run.output;
    expectArrived(uploaded(run.output), py.writableFolder() / "site/blog");
    requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1]["path"], "/record_upload.php?url=http://www.example.org&ID=42"
                                   "&logname=My%20Log%20%26%20Co");
    EXPECT_EQ(requests[2]["path"], "/highlight_xml_to_db.php");
    std::string body;
    const std::string hex = requests[2]["bodyHex"];
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        body += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_NE(body.find("filename=\"" + (output() / "highlights.xml").string() + "\""),
              std::string::npos);
    EXPECT_NE(body.find(readFile(output() / "highlights.xml")), std::string::npos);
    EXPECT_NE(body.find("<Title>Post 30 & more</Title>"), std::string::npos);
    EXPECT_EQ(db.scalar("SELECT LogServerID FROM VellumiteLog"), platform::Value(42))
        << "\"Publish recorded\" changes nothing";
}

TEST_F(PublishCommandTest, TheArchiveRunSendsTheIndexAndTheMonthPages) {
    pyftpd("");
    db.execute("UPDATE VellumiteLog SET LogServerID=5");
    auto run = publish("--archive");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto names = uploaded(run.output);
    EXPECT_EQ(names,
              (std::vector<std::string>{"archindex.html", "arch012026.html", "arch022026.html"}));
    expectArrived(names, py.writableFolder());
    EXPECT_TRUE(service.requests().empty()) << "an archive run registers nothing";
}

TEST_F(PublishCommandTest, VsftpdTakesTheSiteAndARefusedUploadStopsTheRunNamingTheFile) {
    testing_support::TempDir vsDir;
    FtpServer vs(FtpServer::Kind::Vsftpd, vsDir.path());
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        site("127.0.0.1:" + std::to_string(vs.port()), "anonymous", "guest@example.org", "/pub",
             passive);
        auto run = publish();
        ASSERT_EQ(run.status, 0) << run.output;
        expectArrived(uploaded(run.output), vs.writableFolder());
    }
    // A folder the anonymous user may not write to: the first upload is refused.
    fs::create_directories(vs.writableFolder() / "readonly");
    site("127.0.0.1:" + std::to_string(vs.port()), "anonymous", "guest@example.org",
         "/pub/readonly");
    auto run = publish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("vellumite: index.html was not uploaded: the server said \"553 "),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(uploaded(run.output).empty());
    EXPECT_EQ(run.output.find("Published"), std::string::npos);
}

TEST_F(PublishCommandTest, APathSpelledOtherwiseByTheServerIsFoundByTheWalk) {
    db.execute("DELETE FROM VellumitePosts WHERE postID > (SELECT min(postID) + 2 FROM "
               "VellumitePosts)");
    std::map<std::string, std::string> received;
    int files = 0;
    ScriptedFtpServer server([&](ScriptedFtpServer::Session& s) {
        s.reply("220 Scripted server ready");
        s.answer("331 Password required");
        s.answer("230 Logged in");
        s.answer("257 \"/home/site\"");
        for (const char* reply : {"250 OK", "257 \"/WWW\"", "250 OK", "257 \"/\"", "250 OK",
                                  "257 \"/WWW\"", "250 OK", "257 \"/home/site/www\""})
            s.answer(reply);
        for (int i = 0; i < files; ++i) {
            s.openPassive();
            const std::string stor = s.command();
            s.reply("150 Go ahead");
            received[stor.substr(5)] = s.receiveData();
            s.reply("226 Transfer complete");
        }
        s.answer("221 Goodbye");
    });
    site("127.0.0.1:" + std::to_string(server.port()), "site", "pw", "/www");
    // The files the run will send, counted by a dry run first.
    auto dry = publish("--dry-run");
    ASSERT_EQ(dry.status, 0) << dry.output;
    for (const std::string& line : platform::files::splitLines(dry.output))
        files += line.find("  ") != std::string::npos && line.ends_with(".html");
    ASSERT_GT(files, 2);
    auto run = publish();
    server.join();
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> walk = {
        "CWD /www", "PWD", "CWD /", "PWD", "CWD /www", "PWD", "CWD /home/site/www", "PWD"};
    const auto& commands = server.commands();
    ASSERT_GT(commands.size(), 3 + walk.size());
    EXPECT_EQ(std::vector<std::string>(commands.begin() + 3, commands.begin() + 3 + walk.size()),
              walk);
    ASSERT_EQ(received.size(), static_cast<std::size_t>(files));
    for (const auto& [name, bytes] : received)
        EXPECT_TRUE(bytes == readFile(output() / name)) << name;
}

TEST_F(PublishCommandTest, EachFailureSaysWhyAndExitsWithOne) {
    ScriptedFtpServer silent([](ScriptedFtpServer::Session& s) { s.pause(10000); });
    struct Case {
        const char* name;
        std::function<void()> set;
        std::string options;
        std::string message;
    };
    const Case cases[] = {
        {"offline", [&] { pyftpd(""); }, "--offline",
         "Your computer does not appear to be online.  This function is only available with an "
         "active online connection.  Please re-connect and try again."},
        {"incomplete", [&] { site("127.0.0.1", "", "pw", ""); }, "",
         "Your ftp settings are not complete.  I do not have enough details to upload."},
        {"no template",
         [&] {
             pyftpd("");
             db.execute("UPDATE VellumiteLog SET UseDesignerTemplate=0");
         },
         "", "You must create a template before previewing or publishing."},
        {"refused",
         [&] {
             db.execute("UPDATE VellumiteLog SET UseDesignerTemplate=1");
             site("127.0.0.1:" + std::to_string(testing_support::freeLoopbackPort()), "u", "p", "");
         },
         "", "Error connecting.  Please check your settings or contact your service provider."},
        {"time-out", [&] { site("127.0.0.1:" + std::to_string(silent.port()), "u", "p", ""); },
         "--timeout 1",
         "Timed out.  Your FTP address may be incorrect.  Please check your settings."},
        {"path", [&] { pyftpd("/nowhere"); }, "",
         "Vellumite had problems finding your ftp path, multiple attempts were made to resolve "
         "the path.  Check the help for hints on ways to fix this."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set();
        auto run = publish(c.options);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("vellumite: " + c.message), std::string::npos) << run.output;
        EXPECT_TRUE(uploaded(run.output).empty());
    }
}

TEST_F(PublishCommandTest, ChangedOnlySendsWhatAnEditChangedAndTheRestOfARunCutShort) {
    pyftpd("");
    ASSERT_EQ(publish().status, 0);
    std::map<std::string, std::string> before; // every page, as the first run sent it
    for (const auto& entry : fs::directory_iterator(output()))
        if (entry.path().filename() != "highlights.xml")
            before[entry.path().filename().string()] = readFile(entry.path());

    db.execute("UPDATE VellumitePosts SET posttext='Edited body' WHERE posttitle='Post 33 & more'");
    auto run = publish("--changed-only");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto sent = uploaded(run.output);
    Names changed;
    for (const auto& [name, text] : before)
        if (readFile(output() / name) != text)
            changed.insert(name);
    EXPECT_FALSE(changed.empty());
    EXPECT_LT(changed.size(), before.size());
    EXPECT_EQ(Names(sent.begin(), sent.end()), changed);
    expectArrived(sent, py.writableFolder());
    EXPECT_NE(run.output.find("unchanged since the last upload"), std::string::npos);

    // A new folder: the first changed-only run is cut short by a refused upload; the next one
    // sends the rest, and only the rest.
    fs::create_directories(py.writableFolder() / "mirror");
    pyftpd("/mirror");
    platform::files::writeFileAtomic(serverDir / "refuse-uploads.txt", "item2.html\n");
    run = publish("--changed-only");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("item2.html was not uploaded: the server said \"550 "),
              std::string::npos)
        << run.output;
    const auto first = uploaded(run.output);
    EXPECT_EQ(first, (std::vector<std::string>{"index.html", "item1.html"}));
    fs::remove(serverDir / "refuse-uploads.txt");
    run = publish("--changed-only");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto rest = uploaded(run.output);
    EXPECT_EQ(rest.front(), "item2.html");
    Names all(first.begin(), first.end());
    all.insert(rest.begin(), rest.end());
    EXPECT_EQ(all.size(), first.size() + rest.size());
    EXPECT_EQ(all.size(), before.size());
    expectArrived(std::vector<std::string>(all.begin(), all.end()), py.writableFolder() / "mirror");
    // The default run still sends everything.
    EXPECT_EQ(uploaded(publish().output).size(), all.size());
}

TEST_F(PublishCommandTest, VerboseShowsTheExchangeATerminalAProgressLineADryRunConnectsNowhere) {
    pyftpd("");
    auto run = publish("-v");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("> PASS ****"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("> STOR index.html"), std::string::npos);
    EXPECT_NE(run.output.find("FTP Status : Uploading file 1 of "), std::string::npos);
    EXPECT_EQ(run.output.find(FtpServer::kPassword), std::string::npos);

    // On a terminal (script gives the run one): one progress line rewritten in place.
    fs::create_directories(py.writableFolder() / "tty");
    pyftpd("/tty");
    const std::string command = std::string(VELLUMITE_BINARY) + " --data-dir " + data() +
                                " publish 1 --online --service-url " + service.url();
    run = testing_support::runCommand("script -qec " + testing_support::shellQuoted(command) +
                                      " /dev/null");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\r\033[Kfile 1 of "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  index.html  "), std::string::npos);
    EXPECT_TRUE(uploaded(run.output).empty()) << "no line per file on a terminal";
    expectArrived({"index.html", "item1.html", "item2.html"}, py.writableFolder() / "tty");

    site("127.0.0.1:" + std::to_string(testing_support::freeLoopbackPort()), "u", "p", "");
    run = testing_support::runVellumite("--data-dir " + data() +
                                        " publish 'welcome TO vellumite' --dry-run");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("  index.html\n"), std::string::npos) << run.output;
    EXPECT_NE(
        run.output.find(std::to_string(fs::file_size(output() / "index.html")) + "  index.html"),
        std::string::npos);
    EXPECT_NE(run.output.find(" bytes to send"), std::string::npos);
}

} // namespace
