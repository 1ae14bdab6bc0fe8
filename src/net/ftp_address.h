// The FTP server as a user types it: a host name or address, with an optional port.
#pragma once

#include <string>
#include <string_view>

namespace vellumite {

struct FtpServerAddress {
    std::string host; // a name, a dotted address or an IPv6 address without its brackets
    int port = 21;
};

// Reads "host", "host:port", "[IPv6]" and "[IPv6]:port"; an IPv6 address without brackets is
// taken whole, on port 21. Blanks around the text are ignored. Throws std::invalid_argument
// with the reason for an empty host, a port that is not a number from 1 to 65535, or an
// unclosed bracket.
FtpServerAddress parseFtpServerAddress(std::string_view typed);

} // namespace vellumite
