// CFtpError and the errors the FTP client raises: reply texts, routine prefixes, file errors.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <string>

namespace vellumite {

// The client's last error; reply errors are numbered 16000 plus the reply code.
class CFtpError {
public:
    std::int32_t Number = 0;
    std::string Description;
    std::string Source;
};

namespace ftp_detail {

// The Source of every error that carries a reply code.
inline constexpr const char* kReplySource = "RarIrovudI.CFtpClient";

// The error for a reply code: 16000 + code and the code's text (empty for codes without one).
CFtpError replyError(int code);

platform::NumberedError invalidArgument(const std::string& method);

// True for text that must not go into a command line: CR, LF or NUL would end the line early
// and let the rest be read as a command of its own.
bool unsafeInCommand(const std::string& text);

// Runs `body`; an error met there is raised again with "CFtpClient.<routine> failed: " before
// its description, unless an inner routine already named itself.
template <class F>
void routine(const char* name, F&& body) {
    try {
        body();
    } catch (const platform::NumberedError& e) {
        if (e.description().rfind("CFtpClient.", 0) == 0)
            throw;
        throw platform::NumberedError(
            e.number(), std::string("CFtpClient.") + name + " failed: " + e.description(),
            e.source());
    }
}

// Raises the failure of a file call from errno, numbered as the file statements number them:
// "cannot <verb> <path>: <reason>".
[[noreturn]] void raiseFileError(const char* verb, const std::string& path, const char* source);

} // namespace ftp_detail

} // namespace vellumite
