// Real FTP servers for the tests, started on 127.0.0.1 on free ports and stopped afterwards.
#pragma once

#include "support/test_certificates.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace testing_support {

// pyftpdlib (Debian's python3-pyftpdlib) takes kUser and anonymous logins, both writing anywhere
// below work/root. vsftpd takes anonymous logins only, chrooted to work/root, writing in
// work/root/pub (owned by the "ftp" user). The server ends when the test process does.
// Given a certificate, either speaks FTP over explicit TLS only: no login and no data
// connection in the clear, and vsftpd takes a data connection only when it resumes the control
// connection's TLS session.
class FtpServer {
public:
    enum class Kind { PyFtpdLib, Vsftpd };
    static constexpr const char* kUser = "tester";
    static constexpr const char* kPassword = "s3cret";

    // `requireTlsReuse` false lets vsftpd take data connections that start a session of their
    // own, as clients that cannot resume would need.
    FtpServer(Kind kind, const std::filesystem::path& work, const TestCertificate* tls = nullptr,
              bool requireTlsReuse = true);
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    int port() const { return m_port; }
    // The folder logins may write to, as a local path and as the server names it.
    std::filesystem::path writableFolder() const;
    std::string writableRemote() const { return m_kind == Kind::Vsftpd ? "/pub/" : "/"; }

private:
    Kind m_kind;
    std::filesystem::path m_root;
    pid_t m_pid = -1;
    int m_output = -1;
    int m_port = 0;
};

// A socket bound to 127.0.0.1 on a port of the system's choosing (stored in `port`), listening
// when asked.
int loopbackSocket(int& port, bool listening);
// A port that was free a moment ago.
int freeLoopbackPort();

} // namespace testing_support
