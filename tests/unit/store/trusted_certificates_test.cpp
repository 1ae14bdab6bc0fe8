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
    EXPECT_EQ(trusted.fingerprint(1, "ftp.example.org:21"), "") << "no file yet";
    trusted.trust(1, "ftp.example.org:21", "AA:01");
    trusted.trust(2, "ftp.example.org:21", "BB:02");
    trusted.trust(1, "ftp.example.org:2121", "CC:03");
    trusted.trust(1, "ftp.example.org:21", "DD:04"); // a changed certificate, trusted again

    TrustedCertificates reread(folder.path());
    EXPECT_EQ(reread.fingerprint(1, "ftp.example.org:21"), "DD:04");
    EXPECT_EQ(reread.fingerprint(2, "ftp.example.org:21"), "BB:02");
    EXPECT_EQ(reread.fingerprint(1, "ftp.example.org:2121"), "CC:03");
    EXPECT_EQ(reread.fingerprint(1, "other.example.org:21"), "");
    EXPECT_EQ(reread.fingerprint(3, "ftp.example.org:21"), "");
    const fs::path file = folder / TrustedCertificates::kFileName;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, platform::files::kPrivateFile);

    reread.forgetSite(1);
    EXPECT_EQ(trusted.fingerprint(1, "ftp.example.org:21"), "");
    EXPECT_EQ(trusted.fingerprint(1, "ftp.example.org:2121"), "");
    EXPECT_EQ(trusted.fingerprint(2, "ftp.example.org:21"), "BB:02");
}

TEST(TrustedCertificates, AFileOfAnotherShapeTrustsNothingAndIsReplacedOnTheNextAnswer) {
    testing_support::TempDir folder;
    for (const char* content : {"not json", "{\"site\": 1}", "[{\"site\": \"1\"}, 7]"}) {
        SCOPED_TRACE(content);
        platform::files::writeFileAtomic(folder / TrustedCertificates::kFileName, content);
        TrustedCertificates trusted(folder.path());
        EXPECT_EQ(trusted.fingerprint(1, "h:21"), "");
        trusted.trust(1, "h:21", "EE:05");
        EXPECT_EQ(trusted.fingerprint(1, "h:21"), "EE:05");
    }
}

} // namespace
} // namespace vellumite
