// Local files of transfers: a download replaces its target only when committed.
#include "net/ftp_local_file.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
using platform::files::readFile;

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(FtpLocalFile, ADownloadTakesItsTargetsPlaceOnlyWhenCommitted) {
    testing_support::TempDir dir;
    const fs::path target = dir / "page.html";
    platform::files::writeFileAtomic(target, "old", fs::perms::owner_read | fs::perms::owner_write);
    // A download given up leaves the old file alone: see the aborted cases of the transfer test.
    auto file = FtpLocalFile::createBeside(target, "test");
    file->writeAt(0, "new", "test");
    file->writeAt(3, " page", "test");
    EXPECT_EQ(entriesIn(dir.path()), 2u);
    file->commit("test");
    file.reset();
    EXPECT_EQ(readFile(target), "new page");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "a private file stays private";
    // A resumed download writes in place: see the resumed transfers against real servers.
}

} // namespace
} // namespace vellumite
