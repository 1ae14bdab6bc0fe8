// The program's command line as a user runs it, on fresh app folders.
#include "platform/database.h"
#include "support/run_program.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::TempDir;

namespace {

auto vellumite = testing_support::runVellumite;

} // namespace

TEST(CommandLine, HelpSitesAndPreviewOfTheSampleSiteWithOptionsBeforeOrAfter) {
    auto program = vellumite("--help");
    EXPECT_EQ(program.status, 0);
    EXPECT_NE(program.output.find("Usage: vellumite [options] [command]"), std::string::npos);
    EXPECT_NE(program.output.find("sites"), std::string::npos);
    EXPECT_NE(vellumite("sites --help").output.find("Usage: vellumite sites"), std::string::npos);

    TempDir dir;
    std::string data = "'" + (dir / "app").string() + "'";
    auto before = vellumite("--data-dir " + data + " sites");
    EXPECT_EQ(before.status, 0) << before.output;
    EXPECT_EQ(before.output, "1  Welcome to Vellumite\n");
    EXPECT_EQ(vellumite("sites --data-dir=" + data).output, before.output);

    std::string index = (dir / "app/html/output/index.html").string();
    for (std::string site : {"'welcome to VELLUMITE'", "1"}) {
        std::filesystem::remove(index);
        auto run = vellumite("--data-dir " + data + " preview " + site);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(" files written ("), std::string::npos) << run.output;
        EXPECT_TRUE(run.output.ends_with(index + "\n")) << run.output;
        EXPECT_TRUE(std::filesystem::exists(index));
    }
}

TEST(CommandLine, FailuresExitWithOneAndAOneLineReason) {
    TempDir dir;
    std::ofstream(dir / "file") << "x";
    const std::string app = " --data-dir " + (dir / "app").string();
    const std::string broken = " --data-dir " + (dir / "broken").string();
    ASSERT_EQ(vellumite("sites" + app).status, 0);
    ASSERT_EQ(vellumite("sites" + broken).status, 0);
    platform::Database::open((dir / "app/vellumite.db").string())
        .execute("INSERT INTO VellumiteLog (LogTitle, UseDesignerTemplate) VALUES ('Bare', 0)");
    std::ofstream(dir / "broken/vellumite.db", std::ios::trunc) << std::string(4096, 'x');
    // A port in use: see the editor's run test.
    const std::pair<std::string, std::string> cases[] = {
        {"bogus", "vellumite: "},
        {"sites --no-such-option", "vellumite: "},
        {"sites --data-dir", "vellumite: "},
        {"sites extra-argument" + app, "vellumite: "},
        {"sites --data-dir " + (dir / "file/below").string(), "vellumite: "},
        {"sites" + broken, "vellumite: error [3343:Unrecognized database format"},
        {"preview 'No such site'" + app, "vellumite: there is no site named or numbered"},
        {"preview Bare" + app,
         "vellumite: You must create a template before previewing or publishing."},
        {"--no-browser --port abc" + app, "vellumite: --port needs a number from 0 to 65535\n"},
        {"--no-browser --port 70000" + app, "vellumite: --port needs a number from 0 to 65535\n"},
        {"--no-browser --port -1" + app, "vellumite: --port needs a number from 0 to 65535\n"},
        {"--no-browser --word-processor ' '" + app,
         "vellumite: --word-processor needs a command\n"},
        {"edit --no-browser --online --offline" + app,
         "vellumite: --online and --offline exclude each other\n"},
    };
    for (const auto& [args, reason] : cases) {
        auto r = vellumite(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.output.rfind(reason, 0), 0u) << args << ": " << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "app/html/output/index.html"));
}

TEST(CommandLine, ADatabasePathHoldingSomethingElseIsNeverReplaced) {
    TempDir dir;
    namespace fs = std::filesystem;
    const std::pair<std::string, std::string> cases[] = {
        // how vellumite.db is made; what is said after "vellumite: vellumite.db in <folder>"
        {"ln -s gone.db", " is a link to gone.db, which does not exist; it is left as it is "
                          "(mend the link or remove it)\n"},
        {"mkdir", " is not a database file; it is left as it is\n"},
        {"ln -s real.db", ""}, // a link to a database is the user's choice, and used
    };
    int n = 0;
    for (const auto& [make, said] : cases) {
        const fs::path app = dir / std::to_string(++n);
        fs::create_directories(app);
        fs::permissions(app, fs::perms::owner_all);
        testing_support::makeSiteDatabase(app / "real.db", true).close();
        testing_support::runCommand(make + " " + (app / "vellumite.db").string());
        const auto kind = fs::symlink_status(app / "vellumite.db").type();
        for (std::string command : {"sites", "--no-browser --port 0"}) {
            auto r = vellumite(command + " --data-dir '" + app.string() + "'");
            if (said.empty()) {
                EXPECT_EQ(r.output, "1  Welcome to Vellumite\n");
                break;
            }
            EXPECT_EQ(r.status, 1) << make;
            EXPECT_EQ(r.output, "vellumite: vellumite.db in " + app.string() + said);
        }
        EXPECT_EQ(fs::symlink_status(app / "vellumite.db").type(), kind) << make;
        EXPECT_FALSE(fs::exists(app / "gone.db")) << make;
    }
}

TEST(CommandLine, AnAppFolderOpenToOtherUsersIsNamedInAWarning) {
    TempDir dir;
    const std::string app = dir.path().string();
    ::chmod(app.c_str(), 0751);
    EXPECT_EQ(vellumite("sites --data-dir " + app).output,
              "vellumite: warning: other users of this computer can look into the app folder " +
                  app + " (mode 0751); `chmod 700 " + app +
                  "` keeps it private\n1  Welcome to Vellumite\n");
}
