#include "support/run_program.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using testing_support::TempDir;

namespace {

auto vellumite = testing_support::runVellumite;

} // namespace

TEST(CommandLine, SitesListsTheSampleSiteWithOptionsBeforeOrAfter) {
    TempDir dir;
    std::string data = "'" + (dir / "app").string() + "'";
    auto before = vellumite("--data-dir " + data + " sites");
    auto after = vellumite("sites --data-dir=" + data);
    EXPECT_EQ(before.status, 0) << before.output;
    EXPECT_EQ(before.output, "1  Welcome to Vellumite\n");
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.output, before.output);
}

TEST(CommandLine, HelpForTheProgramAndForACommand) {
    auto program = vellumite("--help");
    EXPECT_EQ(program.status, 0);
    EXPECT_NE(program.output.find("Usage: vellumite [options] [command]"), std::string::npos);
    EXPECT_NE(program.output.find("sites"), std::string::npos);
    auto command = vellumite("sites --help");
    EXPECT_EQ(command.status, 0);
    EXPECT_NE(command.output.find("Usage: vellumite sites"), std::string::npos);
}

TEST(CommandLine, FailuresExitWithOneAndAOneLineReason) {
    TempDir dir;
    std::ofstream(dir / "file") << "x";
    const std::string cases[] = {
        "bogus",
        "sites --no-such-option",
        "sites --data-dir",
        "sites extra-argument --data-dir " + dir.path().string(),
        "sites --data-dir " + (dir / "file/below").string(),
    };
    for (const auto& args : cases) {
        auto r = vellumite(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.output.rfind("vellumite: ", 0), 0u) << args << ": " << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
}

TEST(CommandLine, ABrokenDatabaseIsReportedNotACrash) {
    TempDir dir;
    std::string data = (dir / "app").string();
    ASSERT_EQ(vellumite("sites --data-dir " + data).status, 0);
    std::ofstream(dir / "app/vellumite.db", std::ios::trunc) << std::string(4096, 'x');
    auto r = vellumite("sites --data-dir " + data);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("vellumite: error [3343:Unrecognized database format", 0), 0u)
        << r.output;
}
