#include "platform/database.h"
#include "platform/files.h"
#include "store/app_folder.h"
#include "store/databases.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

using testing_support::TempDir;
using namespace vellumite;
namespace fs = std::filesystem;

namespace {

// A small resources folder shaped like share/.
fs::path makeResources(const TempDir& dir) {
    fs::path res = dir / "share";
    fs::create_directories(res / "html/tooltips");
    fs::create_directories(res / "extension/chromium");
    std::ofstream(res / "extension/chromium/manifest.json") << "{}";
    std::ofstream(res / "html/template-frontpage.html") << "front";
    std::ofstream(res / "html/tooltips/welcome.html") << "welcome";
    fs::copy(testing_support::sourceShare() / "db", res / "db");
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
    EXPECT_FALSE(fs::exists(app / "db"));        // the scripts are not the user's business
    EXPECT_FALSE(fs::exists(app / "extension")); // loaded from where it is installed
    EXPECT_TRUE(fs::exists(app / kToolbarDatabaseFile));
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
}

TEST(AppFolder, ABrokenScriptOrNoResourcesLeaveNoHalfDatabase) {
    TempDir dir;
    EXPECT_THROW(prepareAppFolder(dir / "app", dir / "no-resources"), AppFolderError);
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
