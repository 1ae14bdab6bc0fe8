// The scheme in front of a site's FTP server.
#include "store/ftp_location.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(FtpLocation, TheSchemeSaysTlsAndANewSiteStartsWithIt) {
    struct Case {
        const char* stored;
        bool tls;
        const char* server;
    } cases[] = {
        {"ftp.example.org", false, "ftp.example.org"}, // as sites have always stored it
        {"ftpes://ftp.example.org:2121", true, "ftp.example.org:2121"},
        {" FTPES:// ftp.example.org ", true, "ftp.example.org"},
        {"ftp://ftp.example.org", false, "ftp.example.org"},
        {"", true, ""},
    };
    for (const auto& c : cases) {
        const FtpLocation read = readFtpLocation(c.stored);
        EXPECT_EQ(read.tls, c.tls) << c.stored;
        EXPECT_EQ(read.server, c.server) << c.stored;
    }
    EXPECT_EQ(storedFtpLocation("ftp.example.org", true), "ftpes://ftp.example.org");
    EXPECT_EQ(storedFtpLocation("ftpes://ftp.example.org", false), "ftp.example.org");
    EXPECT_EQ(storedFtpLocation(" ftp://h:21 ", true), "ftpes://h:21");
    EXPECT_EQ(storedFtpLocation("  ", true), "") << "no server: the settings stay incomplete";
}

} // namespace
} // namespace vellumite
