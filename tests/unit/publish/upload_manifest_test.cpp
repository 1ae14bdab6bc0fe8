// The upload manifest: kept per site, server, user and folder, surviving a run cut short.
#include "platform/files.h"
#include "publish/upload_manifest.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;

const UploadManifest::Entry kPage{120, std::string(64, 'a')};
const UploadManifest::Entry kEdited{120, std::string(64, 'b')};

TEST(UploadManifest, OneFilePerSiteServerUserAndFolder) {
    const fs::path app = "/app";
    const fs::path base = UploadManifest::fileFor(app, 1, "h:21", "ann", "/www");
    EXPECT_EQ(base.parent_path(), app / "publish");
    for (const fs::path& other : {UploadManifest::fileFor(app, 2, "h:21", "ann", "/www"),
                                  UploadManifest::fileFor(app, 1, "h:2121", "ann", "/www"),
                                  UploadManifest::fileFor(app, 1, "h:21", "bo", "/www"),
                                  UploadManifest::fileFor(app, 1, "h:21", "ann", "/www/blog"),
                                  // The parts cannot run into each other.
                                  UploadManifest::fileFor(app, 1, "h:21\nann", "", "/www")})
        EXPECT_NE(other, base) << other;
    EXPECT_EQ(UploadManifest::fileFor(app, 1, "h:21", "ann", "/www"), base);
}

TEST(UploadManifest, EachConfirmedUploadIsKeptAtOnceAndForgottenBeforeItIsResent) {
    testing_support::TempDir dir;
    const fs::path file = dir / "publish/manifest.txt";
    {
        UploadManifest manifest(file, "site 1");
        EXPECT_FALSE(manifest.unchanged("index.html", kPage));
        manifest.record("index.html", kPage);
        manifest.record("item1.html", kPage);
        // Nothing else is saved: what was recorded is on disk already.
    }
    UploadManifest reread(file, "site 1");
    EXPECT_TRUE(reread.unchanged("index.html", kPage));
    EXPECT_FALSE(reread.unchanged("index.html", kEdited));
    EXPECT_FALSE(reread.unchanged("index.html", {121, kPage.sha256}));
    EXPECT_FALSE(reread.unchanged("item2.html", kPage));
    // A file about to be sent again is unknown on the server until its upload is confirmed.
    reread.forget({"index.html", "item9.html"});
    EXPECT_FALSE(UploadManifest(file, "site 1").unchanged("index.html", kPage));
    EXPECT_TRUE(UploadManifest(file, "site 1").unchanged("item1.html", kPage));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(UploadManifest, LinesThatCannotBeReadOnlyMeanTheirFilesAreSentAgain) {
    testing_support::TempDir dir;
    const std::string digest(64, 'c');
    platform::files::writeFileAtomic(
        dir / "m.txt", "# header\n" + digest + " 5 good.html\n" + digest + " 5 gone.html\n" +
                           "- gone.html\n" + "zz 5 bad-digest.html\n" + digest +
                           " five bad-size.html\n" + digest + " 5\n" +
                           // The last line lost its end: it was being written when the program
                           // stopped.
                           digest + " 5 cut.html");
    UploadManifest manifest(dir / "m.txt", "site 1");
    EXPECT_EQ(manifest.size(), 1u);
    EXPECT_TRUE(manifest.unchanged("good.html", {5, digest}));
    EXPECT_FALSE(manifest.unchanged("gone.html", {5, digest}));
    EXPECT_FALSE(manifest.unchanged("cut.html", {5, digest}));
    // Opening wrote it anew, compact.
    EXPECT_EQ(platform::files::readFile(dir / "m.txt"),
              "# Vellumite upload manifest: SHA-256, size, name\n# site 1\n" + digest +
                  " 5 good.html\n");
}

} // namespace
} // namespace vellumite
