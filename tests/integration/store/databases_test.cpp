#include "store/databases.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::TempDir;

namespace {

// Adds `count` captures, each in its own open-work-close round as the editor and the add-on's
// host do. Returns the number that failed.
int addCaptures(const std::filesystem::path& folder, const std::string& who, int count) {
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        try {
            vellumite::withToolbarDatabase(folder, [&](platform::Database& db) {
                auto rs = db.openRecordset("select * from captureItems where captureID=?", {0});
                rs.addNew();
                rs.setField("capturetext", who + " " + std::to_string(i));
                rs.setField("captureURL", "http://example.org/" + who);
                rs.update();
            });
        } catch (const platform::DbError&) {
            ++failed;
        }
    }
    return failed;
}

} // namespace

TEST(ToolbarDatabase, TwoProcessesWritingAtOnceLoseNoRow) {
    TempDir dir;
    testing_support::makeToolbarDatabase(dir / vellumite::kToolbarDatabaseFile).close();
    constexpr int kEach = 200;

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char go;
        ::close(ready[1]);
        [[maybe_unused]] auto n = ::read(ready[0], &go, 1); // start together with the parent
        ::_exit(addCaptures(dir.path(), "child", kEach) == 0 ? 0 : 1);
    }
    ::close(ready[0]);
    ASSERT_EQ(::write(ready[1], "g", 1), 1);
    ::close(ready[1]);
    int parentFailed = addCaptures(dir.path(), "parent", kEach);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    EXPECT_EQ(parentFailed, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    vellumite::withToolbarDatabase(dir.path(), [&](platform::Database& db) {
        EXPECT_EQ(db.scalar("SELECT count(*) FROM captureItems").toText(),
                  std::to_string(2 * kEach));
        EXPECT_EQ(db.scalar("SELECT count(DISTINCT capturetext) FROM captureItems").toText(),
                  std::to_string(2 * kEach));
    });
}
