// The scheme in front of a site's FTP server.
#include "store/ftp_location.h"

#include <gtest/gtest.h>
#include <tuple>

namespace vellumite {
namespace {

TEST(FtpLocation, TheSchemeSaysTlsAndANewSiteStartsWithIt) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"ftp.example.org", false, "ftp.example.org"}, // as sites have always stored it
        {" FTPES:// ftp.example.org:2121 ", true, "ftp.example.org:2121"},
        {"ftp://ftp.example.org", false, "ftp.example.org"},
        {"", true, ""},
    };
    for (const auto& [stored, tls, server] : cases) {
        EXPECT_EQ(readFtpLocation(stored).tls, tls) << stored;
        EXPECT_EQ(readFtpLocation(stored).server, server) << stored;
    }
    EXPECT_EQ(storedFtpLocation("ftp.example.org", true), "ftpes://ftp.example.org");
    EXPECT_EQ(storedFtpLocation(" ftp://h:21 ", true), "ftpes://h:21");
    EXPECT_EQ(storedFtpLocation("  ", true), "") << "no server: the settings stay incomplete";
}

} // namespace
} // namespace vellumite
