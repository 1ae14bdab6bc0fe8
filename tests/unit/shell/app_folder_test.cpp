#include "platform/database.h"
#include "platform/files.h"
#include "shell/app_folder.h"
#include "store/databases.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testing_support::TempDir;
using namespace vellumite;
namespace fs = std::filesystem;

namespace {

// A small resources folder shaped like share/.
fs::path makeResources(const TempDir& dir) {
    fs::path res = dir / "share";
    fs::create_directories(res / "html/tooltips");
    fs::create_directories(res / "db");
    std::ofstream(res / "html/template-frontpage.html") << "front";
    std::ofstream(res / "html/tooltips/welcome.html") << "welcome";
    fs::copy_file(testing_support::sourceShare() / "db/vellumite.sql", res / "db/vellumite.sql");
    fs::copy_file(testing_support::sourceShare() / "db/vellumite-sample.sql",
                  res / "db/vellumite-sample.sql");
    fs::copy_file(testing_support::sourceShare() / "db/vellumitetoolbar.sql",
                  res / "db/vellumitetoolbar.sql");
    return res;
}

} // namespace

TEST(AppFolder, FirstStartFillsItAndLaterStartsKeepTheUsersFiles) {
    TempDir dir;
    fs::path res = makeResources(dir);
    fs::path app = dir / "data/vellumite";
    prepareAppFolder(app, res);

    EXPECT_EQ(platform::files::readFile(app / "html/tooltips/welcome.html"), "welcome");
    EXPECT_TRUE(fs::is_directory(app / "html/output"));
    EXPECT_FALSE(fs::exists(app / "db")); // the scripts are not the user's business
    auto db = platform::Database::open((app / kSiteDatabaseFile).string());
    EXPECT_EQ(db.scalar("SELECT LogTitle FROM VellumiteLog").toText(), "Welcome to Vellumite");
    db.execute("DELETE FROM VellumiteLog");
    db.close();
    platform::files::writeFileAtomic(app / "html/template-frontpage.html", "mine");

    // A newer version ships another file: it is added, nothing of the user's is replaced.
    std::ofstream(res / "html/newlog.html") << "new";
    std::ofstream(res / "html/template-frontpage.html") << "shipped again";
    prepareAppFolder(app, res);
    EXPECT_EQ(platform::files::readFile(app / "html/template-frontpage.html"), "mine");
    EXPECT_EQ(platform::files::readFile(app / "html/newlog.html"), "new");
    auto again = platform::Database::open((app / kSiteDatabaseFile).string());
    EXPECT_TRUE(again.scalar("SELECT LogTitle FROM VellumiteLog").isNull());
    EXPECT_TRUE(fs::exists(app / kToolbarDatabaseFile));
}

TEST(AppFolder, UnusableFoldersGiveAClearError) {
    TempDir dir;
    fs::path res = makeResources(dir);
    std::ofstream(dir / "afile") << "x";
    try {
        prepareAppFolder(dir / "afile/sub", res);
        FAIL() << "a folder beneath a file was accepted";
    } catch (const AppFolderError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create the app folder"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(prepareAppFolder(dir / "app", dir / "no-resources"), AppFolderError);

    if (::geteuid() != 0) { // root may write anywhere
        fs::create_directories(dir / "readonly");
        ::chmod((dir / "readonly").c_str(), 0555);
        EXPECT_THROW(prepareAppFolder(dir / "readonly", res), AppFolderError);
    }
}

TEST(AppFolder, ABrokenScriptLeavesNoHalfDatabase) {
    TempDir dir;
    fs::path res = makeResources(dir);
    std::ofstream(res / "db/vellumite-sample.sql", std::ios::app)
        << "INSERT INTO Nowhere VALUES (1);";
    EXPECT_THROW(prepareAppFolder(dir / "app", res), AppFolderError);
    EXPECT_FALSE(fs::exists(dir / "app" / kSiteDatabaseFile));
    // Mended scripts make it on the next start.
    fs::copy_file(testing_support::sourceShare() / "db/vellumite-sample.sql",
                  res / "db/vellumite-sample.sql", fs::copy_options::overwrite_existing);
    prepareAppFolder(dir / "app", res);
    EXPECT_TRUE(fs::exists(dir / "app" / kSiteDatabaseFile));
}

TEST(Files, ResolveNoCaseFindsOneFileUnderAnySpellingAndStaysBeneathItsFolder) {
    TempDir dir;
    fs::create_directories(dir / "html/Tooltips");
    std::ofstream(dir / "html/logList.html") << "x";
    std::ofstream(dir / "html/Tooltips/Welcome.html") << "x";
    EXPECT_EQ(platform::files::resolveNoCase(dir.path(), "HTML/loglist.html"),
              dir / "html/logList.html");
    EXPECT_EQ(platform::files::resolveNoCase(dir.path(), "html\\tooltips\\welcome.HTML"),
              dir / "html/Tooltips/Welcome.html");
    EXPECT_FALSE(platform::files::resolveNoCase(dir.path(), "html/none.html"));
    EXPECT_EQ(platform::files::resolveNoCase(dir.path(), "html/new.html", true),
              dir / "html/new.html");
    EXPECT_EQ(platform::files::resolveNoCase(dir.path(), "html/LOGLIST.html", true),
              dir / "html/logList.html");
    for (const char* hostile : {"../etc/passwd", "html/../../x", "/etc/passwd", "", "./html"})
        EXPECT_FALSE(platform::files::resolveNoCase(dir.path(), hostile)) << hostile;
    EXPECT_FALSE(platform::files::resolveNoCase(dir.path(), std::string_view("html/a\0b", 9)));
}
