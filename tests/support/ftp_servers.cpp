// Starting and stopping pyftpdlib and vsftpd for the tests.
#include "support/ftp_servers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

ServerProcess::~ServerProcess() {
    stop();
}

void ServerProcess::start(const std::vector<std::string>& argv, const fs::path& log) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create a pipe: ") + std::strerror(errno));
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(errno));
    if (pid == 0) {
        ::setpgid(0, 0);
        // A test process that is killed must not leave its servers running.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (logFd >= 0)
            ::dup2(logFd, STDERR_FILENO);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    ::close(pipeFds[1]);
    m_pid = pid;
    m_stdout = pipeFds[0];
}

std::string ServerProcess::readLine(int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_stdout, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (::read(m_stdout, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return line;
}

void ServerProcess::stop() {
    if (m_pid > 0) {
        ::kill(-m_pid, SIGTERM);
        int status;
        for (int i = 0; i < 50 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::waitpid(m_pid, &status, WNOHANG) == 0) {
            ::kill(-m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
    if (m_stdout >= 0) {
        ::close(m_stdout);
        m_stdout = -1;
    }
}

int freeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool waitForListener(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

PyFtpServer::PyFtpServer(const fs::path& work) : m_root(work / "root") {
    fs::create_directories(m_root);
    const fs::path script = fs::path(VELLUMITE_TESTS_DIR) / "support" / "pyftpd_server.py";
    // Debian's interpreter: the one on PATH may lack Debian's Python packages.
    m_process.start({"/usr/bin/python3", script.string(), m_root.string(), kUser, kPassword},
                    work / "pyftpd.log");
    const std::string line = m_process.readLine(15000);
    m_port = line.empty() ? 0 : std::stoi(line);
    if (m_port <= 0)
        throw std::runtime_error("pyftpdlib did not start (see " + (work / "pyftpd.log").string() +
                                 ")");
}

VsftpdServer::VsftpdServer(const fs::path& work) : m_root(work / "root") {
    fs::create_directories(m_root / "pub");
    fs::create_directories(work / "empty");
    fs::permissions(m_root, fs::perms(0755));
    fs::permissions(work / "empty", fs::perms(0755));
    fs::permissions(m_root / "pub", fs::perms(0755));
    if (const passwd* ftp = ::getpwnam("ftp"))
        if (::chown((m_root / "pub").c_str(), ftp->pw_uid, ftp->pw_gid) != 0)
            throw std::runtime_error("cannot give the upload folder to the ftp user");
    m_port = freeLoopbackPort();
    const fs::path config = work / "vsftpd.conf";
    std::ofstream(config) << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                          << "listen_port=" << m_port << "\n"
                          << "background=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                          << "write_enable=YES\nanon_upload_enable=YES\n"
                          << "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                          << "anon_root=" << m_root.string() << "\n"
                          << "no_anon_password=YES\nanon_umask=022\n"
                          // Containers refuse the sandboxing system calls vsftpd would use.
                          << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                          << "secure_chroot_dir=" << (work / "empty").string() << "\n"
                          << "connect_from_port_20=NO\npasv_enable=YES\nport_enable=YES\n"
                          << "xferlog_enable=NO\nsyslog_enable=NO\ndirmessage_enable=NO\n"
                          << "use_localtime=YES\n";
    m_process.start({"/usr/sbin/vsftpd", config.string()}, work / "vsftpd.log");
    if (!waitForListener(m_port, 10000))
        throw std::runtime_error("vsftpd did not start (see " + (work / "vsftpd.log").string() +
                                 ")");
}

} // namespace testing_support
