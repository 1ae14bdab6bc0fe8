// The FTP server setting: host, host:port, [IPv6]:port.
#include "net/ftp_address.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vellumite {
namespace {

TEST(FtpServerAddress, ReadsHostAndPortInEveryFormAndRefusesTheRest) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"ftp.example.org", "ftp.example.org", 21},
        {" 127.0.0.1:2121 ", "127.0.0.1", 2121},
        {"[::1]:2121", "::1", 2121},
        {"[2001:db8::7]", "2001:db8::7", 21},
        {"2001:db8::7", "2001:db8::7", 21}, // without brackets the whole text is the address
    };
    for (const auto& [typed, host, port] : cases) {
        EXPECT_EQ(parseFtpServerAddress(typed).host, host) << typed;
        EXPECT_EQ(parseFtpServerAddress(typed).port, port) << typed;
    }
    for (const char* typed :
         {"", ":21", "host:", "host:0", "host:65536", "host:21x", "[::1", "[::1]x", "[]:21"})
        EXPECT_THROW(parseFtpServerAddress(typed), std::invalid_argument) << typed;
}

} // namespace
} // namespace vellumite
