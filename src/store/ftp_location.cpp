// Reading and writing the scheme in front of a site's FTP server.
#include "store/ftp_location.h"

#include "platform/text.h"

namespace vellumite {

namespace {

constexpr std::string_view kTlsScheme = "ftpes://";
constexpr std::string_view kPlainScheme = "ftp://";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool startsWith(std::string_view text, std::string_view scheme) {
    return text.size() >= scheme.size() &&
           platform::equalsNoCase(text.substr(0, scheme.size()), scheme);
}

} // namespace

FtpLocation readFtpLocation(std::string_view stored) {
    const std::string_view text = trimmed(stored);
    if (startsWith(text, kTlsScheme))
        return {true, std::string(trimmed(text.substr(kTlsScheme.size())))};
    if (startsWith(text, kPlainScheme))
        return {false, std::string(trimmed(text.substr(kPlainScheme.size())))};
    return {text.empty(), std::string(text)};
}

std::string storedFtpLocation(std::string_view typed, bool tls) {
    const std::string server = readFtpLocation(typed).server;
    if (server.empty())
        return {};
    return tls ? std::string(kTlsScheme) + server : server;
}

} // namespace vellumite
