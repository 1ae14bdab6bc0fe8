// Real FTP servers for the tests, started on 127.0.0.1 on free ports and stopped afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// A child process in its own process group, ended (the whole group) on destruction.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `argv`; its standard output goes to a pipe whose first line `readLine` returns.
    void start(const std::vector<std::string>& argv, const std::filesystem::path& log);
    std::string readLine(int timeoutMs);
    void stop();

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
};

// pyftpdlib (Debian's python3-pyftpdlib) serving work/root to kUser and to anonymous logins.
class PyFtpServer {
public:
    static constexpr const char* kUser = "tester";
    static constexpr const char* kPassword = "s3cret";
    explicit PyFtpServer(const std::filesystem::path& work);
    int port() const { return m_port; }
    const std::filesystem::path& root() const { return m_root; }

private:
    ServerProcess m_process;
    std::filesystem::path m_root;
    int m_port = 0;
};

// vsftpd with a generated configuration in `work`: anonymous logins, chrooted to work/root,
// allowed to write in work/root/pub (owned by the "ftp" user).
class VsftpdServer {
public:
    explicit VsftpdServer(const std::filesystem::path& work);
    int port() const { return m_port; }
    // The folder anonymous users may write to, as a local path and as the server names it.
    std::filesystem::path writableFolder() const { return m_root / "pub"; }
    static constexpr const char* kWritableRemote = "/pub";

private:
    ServerProcess m_process;
    std::filesystem::path m_root;
    int m_port = 0;
};

// A port that was free a moment ago (bound to 127.0.0.1 and released).
int freeLoopbackPort();
// Waits until something accepts connections on 127.0.0.1:port.
bool waitForListener(int port, int timeoutMs);

} // namespace testing_support
