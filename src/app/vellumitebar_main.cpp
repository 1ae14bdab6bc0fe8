// The add-on's host program: started by the browser for each window's band, or by the user
// to install and remove the host's manifests.
#include "platform/event_loop.h"
#include "store/app_folder.h"
#include "toolbar/band_host.h"
#include "toolbar/editor_launch.h"
#include "toolbar/host_install.h"
#include "toolbar/settings_file.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vellumite::toolbar;

constexpr const char* kUsage =
    "Usage: vellumitebar install [--chromium] [--firefox]\n"
    "       vellumitebar uninstall\n"
    "\n"
    "The native-messaging host of the Vellumite browser add-on. The browser starts it for each\n"
    "window; you only install it, so that Chromium, Google Chrome and Firefox find it:\n"
    "\n"
    "  install     write the host's manifests for your user (both browsers unless one is named)\n"
    "  uninstall   remove them again\n"
    "\n"
    "Options: --data-dir DIR  the app folder shared with the editor (default:\n"
    "         $XDG_DATA_HOME/vellumite), --help, --version\n";

int install(const std::vector<std::string>& args) {
    bool chromium = false, firefox = false;
    for (const auto& arg : args) {
        if (arg == "--chromium")
            chromium = true;
        else if (arg == "--firefox")
            firefox = true;
        else {
            std::cerr << "vellumitebar: unknown option " << arg << " for install\n";
            return 1;
        }
    }
    if (!chromium && !firefox)
        chromium = firefox = true;
    fs::path self = ownProgramFolder() / "vellumitebar";
    for (const auto& file : installHost(self, chromium, firefox))
        std::cout << "installed " << file.string() << "\n";
    std::cout << "host: " << self.string() << "\n";
    return 0;
}

int uninstall(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::cerr << "vellumitebar: uninstall takes no arguments\n";
        return 1;
    }
    auto removed = uninstallHost();
    for (const auto& file : removed)
        std::cout << "removed " << file.string() << "\n";
    if (removed.empty())
        std::cout << "nothing was installed\n";
    return 0;
}

int serveBrowser(const fs::path& appFolder) {
    // A browser that has gone must not end the host by a signal, and an editor this host
    // started must not linger as a zombie.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGCHLD, SIG_IGN);
    BandEnvironment environment{appFolder, ownProgramFolder(), SettingsFile::defaultPath()};
    platform::EventLoop loop;
    BandHost host(loop, STDIN_FILENO, STDOUT_FILENO, std::move(environment));
    return host.run();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        fs::path appFolder;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--data-dir" && i + 1 < args.size()) {
                appFolder = args[i + 1];
                args.erase(args.begin() + static_cast<long>(i),
                           args.begin() + static_cast<long>(i) + 2);
                break;
            }
        }
        std::string command = args.empty() ? "" : args.front();
        std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
        if (command == "--help" || command == "-h" || command == "help") {
            std::cout << kUsage;
            return 0;
        }
        if (command == "--version") {
            std::cout << "vellumitebar " << VELLUMITE_VERSION << "\n";
            return 0;
        }
        if (command == "install")
            return install(rest);
        if (command == "uninstall")
            return uninstall(rest);
        // Chromium passes the extension's origin, Firefox the manifest's path and the
        // extension's id; without either, someone typed the name at a terminal.
        if (command.empty() && ::isatty(STDIN_FILENO)) {
            std::cout << kUsage;
            return 0;
        }
        if (!command.empty() && !command.starts_with("chrome-extension://") &&
            !command.ends_with(".json")) {
            std::cerr << "vellumitebar: unknown command " << command << "\n" << kUsage;
            return 1;
        }
        return serveBrowser(appFolder.empty() ? vellumite::defaultAppFolder() : appFolder);
    } catch (const std::exception& e) {
        std::cerr << "vellumitebar: " << e.what() << "\n";
        return 1;
    }
}
