// Opening the editor in the browser through xdg-open and a private redirect file.
#include "platform/browser_launch.h"

#include "platform/files.h"

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string file = redirectFile.string();
    char* argv[] = {const_cast<char*>("xdg-open"), file.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    // xdg-open returns once the browser has it; reap it without holding anyone up.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

} // namespace platform
