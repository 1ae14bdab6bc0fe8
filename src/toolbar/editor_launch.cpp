// Finding or starting the editor.
#include "toolbar/editor_launch.h"

#include "store/editor_instance.h"

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

namespace vellumite::toolbar {

namespace fs = std::filesystem;

namespace {

// Starts the program in a session of its own with nothing of ours open: its output must never
// reach the browser's message pipe.
bool startDetached(const fs::path& program, std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

} // namespace

bool isEditorAddress(std::string_view address) {
    for (std::string_view host : {"http://127.0.0.1:", "http://[::1]:", "http://localhost:"}) {
        if (!address.starts_with(host))
            continue;
        std::string_view rest = address.substr(host.size());
        std::size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        return digits > 0 && digits <= 5 && (digits == rest.size() || rest[digits] == '/');
    }
    return false;
}

fs::path ownProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

LaunchOutcome launchVellumite(const fs::path& appFolder, const fs::path& programFolder) {
    if (auto address = runningEditorAddress(appFolder); address && isEditorAddress(*address))
        return {LaunchOutcome::Focus, *address};
    fs::path program = programFolder / "vellumite";
    if (!programFolder.empty() && startDetached(program, {"--data-dir", appFolder.string()}))
        return {LaunchOutcome::Started, {}};
    return {LaunchOutcome::NotFound, {}};
}

} // namespace vellumite::toolbar
