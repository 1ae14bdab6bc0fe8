// Why the server did not take a file, in the words the status lines use.
#pragma once

#include "net/ftp_client.h"

#include <string>

namespace vellumite {

// The last line of what the server said, without its line break.
std::string lastReplyLine(std::string reply);

// Why an upload ended with `status` (not arStatusOk): no answer within the client's time-out,
// what the server said ("the server said "550 ...""), or the client's own error.
std::string uploadRefusal(const CFtpClient& client, AsyncResultStatus status);

} // namespace vellumite
