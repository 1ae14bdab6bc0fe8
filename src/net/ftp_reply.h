// Turns the text of the control connection into whole FTP replies, multi-line ones included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vellumite {

struct FtpReply {
    int code = 0;             // 0 while no final line has arrived
    std::string message;      // the continuation lines' text, each followed by CR LF
    std::size_t consumed = 0; // bytes up to and including the final line
};

// Examines text received since the last reply was acted on. A line of three digits and "-" is
// a continuation line; three digits and a space make a final line, whose code wins over any
// earlier one. Only lines ended by a line feed count: a final line cut in two by the network
// is acted on when its end has arrived.
FtpReply GetResponseCode(std::string_view buffer);

} // namespace vellumite
