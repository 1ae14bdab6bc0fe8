// Splitting a typed FTP server into host and port.
#include "net/ftp_address.h"

#include <stdexcept>

namespace vellumite {

namespace {

int portNumber(std::string_view text, std::string_view typed) {
    const bool digits = !text.empty() && text.size() <= 5 &&
                        text.find_first_not_of("0123456789") == std::string_view::npos;
    const int value = digits ? std::stoi(std::string(text)) : 0;
    if (value < 1 || value > 65535)
        throw std::invalid_argument("the port in \"" + std::string(typed) +
                                    "\" must be a number from 1 to 65535");
    return value;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

FtpServerAddress parseFtpServerAddress(std::string_view typed) {
    const std::string_view text = trimmed(typed);
    FtpServerAddress address;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            throw std::invalid_argument("\"" + std::string(typed) + "\" has no closing \"]\"");
        address.host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                throw std::invalid_argument("\"" + std::string(typed) +
                                            "\" has text after its \"]\" that is not a port");
            address.port = portNumber(rest.substr(1), typed);
        }
    } else if (const std::size_t colon = text.find(':');
               colon != std::string_view::npos &&
               text.find(':', colon + 1) == std::string_view::npos) {
        address.host = std::string(text.substr(0, colon));
        address.port = portNumber(text.substr(colon + 1), typed);
    } else {
        address.host = std::string(text); // a name, or an IPv6 address without a port
    }
    if (address.host.empty())
        throw std::invalid_argument("\"" + std::string(typed) + "\" names no server");
    return address;
}

} // namespace vellumite
