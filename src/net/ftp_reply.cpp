// The reply reader of the control connection.
#include "net/ftp_reply.h"

#include <cctype>

namespace vellumite {

namespace {

bool startsWithCode(std::string_view line) {
    return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2]));
}

} // namespace

FtpReply GetResponseCode(std::string_view buffer) {
    FtpReply reply;
    if (buffer.size() < 3)
        return reply;
    std::string message;
    std::size_t at = 0;
    for (std::size_t lf; (lf = buffer.find('\n', at)) != std::string_view::npos; at = lf + 1) {
        std::string_view line = buffer.substr(at, lf - at);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!startsWithCode(line))
            continue;
        if (line.size() > 3 && line[3] == '-') {
            message.append(line.substr(4)).append("\r\n");
        } else if (line.size() == 3 || line[3] == ' ') {
            reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
            reply.consumed = lf + 1;
            reply.message = message;
        }
    }
    return reply;
}

} // namespace vellumite
