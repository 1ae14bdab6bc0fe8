// The reason a file was not uploaded, for the publish window and the upload dialogs alike.
#include "publish/upload_refusal.h"

#include "platform/error.h"

namespace vellumite {

std::string lastReplyLine(std::string reply) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
        reply.pop_back();
    const std::size_t start = reply.find_last_of('\n');
    return start == std::string::npos ? reply : reply.substr(start + 1);
}

std::string uploadRefusal(const CFtpClient& client, AsyncResultStatus status) {
    if (status == arStatusTimeOut)
        return "no answer from the server within " + std::to_string(client.TimeOut()) + " seconds";
    const CFtpError& error = client.LastFtpError();
    if (error.Number > 16000 && error.Number < 17000)
        return "the server said \"" + lastReplyLine(client.LastServerResponse()) + "\"";
    return platform::to_string(
        platform::NumberedError(error.Number, error.Description, error.Source));
}

} // namespace vellumite
