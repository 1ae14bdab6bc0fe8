// How a site's FTP server setting (`ftplocation`) says the site is published over TLS: the
// scheme "ftpes://" in front of the server as typed, so that the site tables stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace vellumite {

struct FtpLocation {
    bool tls = true;    // FTP over explicit TLS
    std::string server; // as typed: "host" or "host:port"
};

// "ftpes://host" is TLS, "host" (or "ftp://host") plain FTP. A site without a server yet gets
// TLS, the choice a new site starts with. The scheme is read in any letter case; blanks around
// the text are dropped.
FtpLocation readFtpLocation(std::string_view stored);

// What to store for the server typed in the settings and the connection chosen; a scheme the
// user typed is replaced by the choice. No server stores nothing, so that the settings still
// read as incomplete.
std::string storedFtpLocation(std::string_view typed, bool tls);

} // namespace vellumite
