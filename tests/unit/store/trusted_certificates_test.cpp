// The trusted-certificates file in a temporary app folder.
#include "platform/files.h"
#include "store/trusted_certificates.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;

TEST(TrustedCertificates, OneAnswerPerSiteAndServerKeptPrivately) {
    testing_support::TempDir folder;
    TrustedCertificates trusted(folder.path());
    trusted.trust(1, "ftp.example.org:21", "AA:01");
    trusted.trust(2, "ftp.example.org:21", "BB:02");
    trusted.trust(1, "ftp.example.org:21", "DD:04"); // a changed certificate, trusted again
    TrustedCertificates reread(folder.path());
    EXPECT_EQ(reread.fingerprint(1, "ftp.example.org:21"), "DD:04");
    EXPECT_EQ(reread.fingerprint(2, "ftp.example.org:21"), "BB:02");
    EXPECT_EQ(reread.fingerprint(1, "ftp.example.org:2121"), "");
    const fs::path file = folder / TrustedCertificates::kFileName;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, platform::files::kPrivateFile);
    reread.forgetSite(1);
    EXPECT_EQ(trusted.fingerprint(1, "ftp.example.org:21"), "");

    // A file of another shape (edited by hand) trusts nothing and is replaced by the next answer.
    platform::files::writeFileAtomic(file, "[{\"site\": \"2\"}, 7]");
    trusted.trust(2, "h:21", "EE:05");
    EXPECT_EQ(trusted.fingerprint(2, "h:21"), "EE:05");
}

} // namespace
} // namespace vellumite
