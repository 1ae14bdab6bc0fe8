// What the upload benchmarks share: starting the tools they time, and a pyftpdlib server on
// loopback with one user.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline constexpr const char* kUser = "bench";
inline constexpr const char* kPassword = "bench";

// Starts a program with its output to `out`, in `folder` when one is given.
inline pid_t spawn(const std::vector<std::string>& argv, const fs::path& out = "/dev/null",
                   const fs::path& folder = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

// Runs a program to its end and returns its seconds; throws when it fails.
inline double timed(const std::vector<std::string>& argv, const fs::path& out = "/dev/null",
                    const fs::path& folder = {}) {
    const auto start = Clock::now();
    int status = 0;
    ::waitpid(spawn(argv, out, folder), &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// pyftpdlib (tests/support/pyftpd_server.py) serving `root` to kUser, stopped with the object.
struct PyFtpd {
    pid_t pid = -1;
    int port = 0;
    PyFtpd(const fs::path& root, const fs::path& work) {
        const fs::path script = fs::path(VELLUMITE_SOURCE_SHARE).parent_path() / "tests" /
                                "support" / "pyftpd_server.py";
        pid = spawn(
            {"/usr/bin/python3", "-W", "ignore", script.string(), root.string(), kUser, kPassword},
            work / "port.txt");
        for (int i = 0; i < 200 && port == 0; ++i) {
            ::usleep(50'000);
            std::ifstream(work / "port.txt") >> port;
        }
        if (port == 0)
            throw std::runtime_error("pyftpdlib did not start");
    }
    ~PyFtpd() {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    PyFtpd(const PyFtpd&) = delete;
    PyFtpd& operator=(const PyFtpd&) = delete;
};

// lftp mirroring `dir` into /`folder` over one connection, passive.
inline double lftpMirror(int port, const fs::path& dir, const std::string& folder) {
    return timed({"lftp", "-u", std::string(kUser) + "," + kPassword, "-p", std::to_string(port),
                  "-e",
                  "set ftp:passive-mode on; set net:max-retries 1; mirror -R --no-perms "
                  "--parallel=1 " +
                      dir.string() + " /" + folder + "; quit",
                  "127.0.0.1"});
}

// One curl process sending `files` into /`folder`/ over one connection it reuses, passive;
// relative names are read in `cwd`.
inline double curlUpload(int port, const std::vector<std::string>& files, const std::string& folder,
                         const fs::path& cwd = {}) {
    std::string list = "{";
    for (std::size_t i = 0; i < files.size(); ++i)
        list += (i ? "," : "") + files[i];
    list += "}";
    return timed({"curl", "-s", "--ftp-create-dirs", "--ftp-pasv", "-T", list,
                  "ftp://" + std::string(kUser) + ":" + kPassword +
                      "@127.0.0.1:" + std::to_string(port) + "/" + folder + "/"},
                 "/dev/null", cwd);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace bench
