// Starting and stopping pyftpdlib and vsftpd for the tests.
#include "support/ftp_servers.h"

#include "support/child_process.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

// Anonymous only; containers refuse the sandboxing system calls vsftpd would use.
constexpr const char* kVsftpdConfig = R"(listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
no_anon_password=YES
anon_umask=022
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
connect_from_port_20=NO
xferlog_enable=NO
syslog_enable=NO
dirmessage_enable=NO
use_localtime=YES
)";

// Its default cipher list names a cipher that OpenSSL 3 no longer offers.
constexpr const char* kVsftpdTlsConfig = R"(ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
ssl_ciphers=HIGH
)";

bool acceptsConnections(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int loopbackSocket(int& port, bool listening) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    if (listening)
        ::listen(fd, 8);
    return fd;
}

int freeLoopbackPort() {
    int port = 0;
    ::close(loopbackSocket(port, false));
    return port;
}

FtpServer::FtpServer(Kind kind, const fs::path& work, const TestCertificate* tls,
                     bool requireTlsReuse)
    : m_kind(kind), m_root(work / "root") {
    fs::create_directories(writableFolder());
    // setpriv: a test process that is killed must not leave its servers running.
    const std::vector<std::string> dieWithTest = {"setpriv", "--pdeathsig", "TERM", "--"};
    if (kind == Kind::PyFtpdLib) {
        // Debian's interpreter: the one on PATH may lack Debian's Python packages.
        auto args = dieWithTest;
        args.insert(args.end(), {"/usr/bin/python3", "-W", "ignore",
                                 std::string(VELLUMITE_TESTS_DIR) + "/support/pyftpd_server.py",
                                 m_root.string(), kUser, kPassword});
        if (tls)
            args.insert(args.end(), {tls->certificate.string(), tls->key.string()});
        Child child = startChild(args);
        m_pid = child.pid;
        m_output = child.output;
        const std::string line = readLine(child);
        m_port = std::atoi(line.c_str());
        if (m_port <= 0)
            throw std::runtime_error("pyftpdlib did not start: " + line);
        return;
    }
    fs::create_directories(work / "empty");
    fs::permissions(m_root, fs::perms(0755));
    if (const passwd* ftp = ::getpwnam("ftp"))
        if (::chown(writableFolder().c_str(), ftp->pw_uid, ftp->pw_gid) != 0)
            throw std::runtime_error("cannot give the upload folder to the ftp user");
    m_port = freeLoopbackPort();
    std::ofstream(work / "vsftpd.conf")
        << kVsftpdConfig << "listen_port=" << m_port << "\nanon_root=" << m_root.string()
        << "\nsecure_chroot_dir=" << (work / "empty").string() << "\n";
    if (tls)
        std::ofstream(work / "vsftpd.conf", std::ios::app)
            << kVsftpdTlsConfig << "rsa_cert_file=" << tls->certificate.string()
            << "\nrsa_private_key_file=" << tls->key.string()
            << "\nrequire_ssl_reuse=" << (requireTlsReuse ? "YES" : "NO") << "\n";
    auto args = dieWithTest;
    args.insert(args.end(), {"/usr/sbin/vsftpd", (work / "vsftpd.conf").string()});
    Child child = startChild(args);
    m_pid = child.pid;
    m_output = child.output;
    for (int i = 0; i < 500 && !acceptsConnections(m_port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!acceptsConnections(m_port))
        throw std::runtime_error("vsftpd did not start");
}

FtpServer::~FtpServer() {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    ::close(m_output);
}

fs::path FtpServer::writableFolder() const {
    return m_kind == Kind::Vsftpd ? m_root / "pub" : m_root;
}

} // namespace testing_support
