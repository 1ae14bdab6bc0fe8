// The upload manifest: what a run confirmed is kept, whatever became of the run.
#include "platform/files.h"
#include "publish/upload_manifest.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
const std::string kDigest(64, 'c');

TEST(UploadManifest, WhatWasAppendedIsReadBackAndAHalfWrittenLineIsNot) {
    testing_support::TempDir dir;
    const fs::path file = dir / "publish/m.txt";
    {
        UploadManifest manifest(file, "site 1");
        manifest.record("index.html", {5, kDigest});
        manifest.record("item1.html", {5, kDigest});
        manifest.forget({"item1.html"}); // about to be sent again
    }
    platform::files::writeFileAtomic(
        dir / "m.txt", platform::files::readFile(file) + "zz 5 bad.html\n" + kDigest +
                           " five bad.html\n" + kDigest + " 5 cut.html"); // its end was lost
    UploadManifest manifest(dir / "m.txt", "site 1");
    EXPECT_EQ(manifest.size(), 1u);
    EXPECT_TRUE(manifest.unchanged("index.html", {5, kDigest}));
    EXPECT_FALSE(manifest.unchanged("index.html", {6, kDigest}));
    EXPECT_FALSE(manifest.unchanged("item1.html", {5, kDigest}));
    // Opening wrote it anew, compact, readable by its owner alone.
    EXPECT_EQ(platform::files::readFile(dir / "m.txt"),
              "# Vellumite upload manifest: SHA-256, size, name\n# site 1\n" + kDigest +
                  " 5 index.html\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace
} // namespace vellumite
