// "Launch Vellumite": the editor running on the app folder is brought forward, else the one
// installed beside this program is started.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vellumite::toolbar {

inline constexpr std::string_view kNotFoundMessage =
    "Vellumite not found!  You need to download and install the application from the "
    "Vellumite web site.";

struct LaunchOutcome {
    enum Kind { Focus, Started, NotFound } kind = NotFound;
    std::string address; // the running editor's address, for Focus
};

// The running editor of `appFolder` when its published address is one of this machine's
// loopback addresses; otherwise `programFolder`/vellumite is started on the same app folder,
// detached from this process and without a shell.
LaunchOutcome launchVellumite(const std::filesystem::path& appFolder,
                              const std::filesystem::path& programFolder);

// An editor address: http on 127.0.0.1, [::1] or localhost.
bool isEditorAddress(std::string_view address);

// The folder of this program's own executable.
std::filesystem::path ownProgramFolder();

} // namespace vellumite::toolbar
