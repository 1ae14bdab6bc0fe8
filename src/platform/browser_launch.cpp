// Opening the editor in the browser through xdg-open and a private redirect file.
#include "platform/browser_launch.h"

#include "platform/detached_process.h"
#include "platform/files.h"

#include <cstdlib>
#include <system_error>

namespace platform {

namespace {

std::string htmlAttribute(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

void writeRedirectFile(const std::string& address, const std::filesystem::path& redirectFile) {
    std::string page = "<!doctype html><meta charset=utf-8><title>Editor</title>"
                       "<meta http-equiv=\"refresh\" content=\"0;url=" +
                       htmlAttribute(address) + "\"><p><a href=\"" + htmlAttribute(address) +
                       "\">Open the editor</a></p>\n";
    files::writeFileAtomic(redirectFile, page,
                           std::filesystem::perms::owner_read |
                               std::filesystem::perms::owner_write);
}

bool openInBrowser(const std::filesystem::path& redirectFile) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland))
        return false;

    try {
        // xdg-open returns once the browser has it; it is reaped without holding anyone up.
        startDetached({"xdg-open", redirectFile.string()});
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

} // namespace platform
