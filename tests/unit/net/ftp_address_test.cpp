// The FTP server setting: host, host:port, [IPv6]:port.
#include "net/ftp_address.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vellumite {
namespace {

TEST(FtpServerAddress, ReadsHostAndPortInEveryForm) {
    struct Case {
        const char* typed;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"ftp.example.org", "ftp.example.org", 21},
        {"ftp.example.org:2121", "ftp.example.org", 2121},
        {" 127.0.0.1:65535 ", "127.0.0.1", 65535},
        {"[::1]:2121", "::1", 2121},
        {"[2001:db8::7]", "2001:db8::7", 21},
        {"2001:db8::7", "2001:db8::7", 21}, // without brackets the whole text is the address
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const FtpServerAddress address = parseFtpServerAddress(c.typed);
        EXPECT_EQ(address.host, c.host);
        EXPECT_EQ(address.port, c.port);
    }
}

TEST(FtpServerAddress, RefusesWhatNamesNoServerOrNoPort) {
    for (const char* typed : {"", "  ", ":21", "host:", "host:0", "host:65536", "host:21x",
                              "host:-1", "[::1", "[::1]x", "[::1]:", "[]:21"})
        EXPECT_THROW(parseFtpServerAddress(typed), std::invalid_argument) << typed;
}

} // namespace
} // namespace vellumite
