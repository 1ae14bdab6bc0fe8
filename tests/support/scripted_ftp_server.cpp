// The scripted FTP server: one control connection, plain blocking sockets, its own thread.
#include "support/scripted_ftp_server.h"

#include "support/ftp_servers.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

// Waits in short slices, so that a stopping server is noticed; true when `fd` is readable.
bool readable(int fd, Clock::time_point deadline, const std::atomic<bool>& stop) {
    while (!stop && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0)
            return true;
    }
    return false;
}

void sendAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer(Script script) {
    m_listener = loopbackSocket(m_port, true);
    m_thread = std::thread([this, s = std::move(script)] { run(s); });
}

ScriptedFtpServer::~ScriptedFtpServer() {
    m_stop = true;
    join();
    closeFd(m_listener);
}

void ScriptedFtpServer::join() {
    if (m_thread.joinable())
        m_thread.join();
}

void ScriptedFtpServer::run(const Script& script) {
    Session session;
    session.m_server = this;
    if (readable(m_listener, Clock::now() + std::chrono::seconds(30), m_stop)) {
        session.m_control = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        script(session);
    }
    closeFd(session.m_data);
    closeFd(session.m_dataListener);
    closeFd(session.m_control);
}

void ScriptedFtpServer::Session::send(const std::string& text) {
    sendAll(m_control, text);
}

int ScriptedFtpServer::Session::receive(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (m_control < 0 || !readable(m_control, deadline, m_server->m_stop))
        return 0;
    char buffer[4096];
    ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
    if (n <= 0)
        return -1;
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return 1;
}

std::string ScriptedFtpServer::Session::command(int timeoutMs) {
    std::size_t end;
    while ((end = m_pending.find("\r\n")) == std::string::npos)
        if (receive(timeoutMs) <= 0)
            return {};
    std::string line = m_pending.substr(0, end);
    m_pending.erase(0, end + 2);
    m_server->m_commands.push_back(line);
    return line;
}

void ScriptedFtpServer::Session::answer(const std::string& line) {
    command();
    reply(line);
}

bool ScriptedFtpServer::Session::pause(int ms) {
    readable(-1, Clock::now() + std::chrono::milliseconds(ms), m_server->m_stop);
    return !m_server->m_stop;
}

bool ScriptedFtpServer::Session::clientClosed(int timeoutMs) {
    int got;
    while ((got = receive(timeoutMs)) > 0) {
    }
    return got < 0;
}

void ScriptedFtpServer::Session::openPassive(const std::string& host) {
    answer("200 Type set");
    command();
    closeFd(m_dataListener);
    int port = 0;
    m_dataListener = loopbackSocket(port, true);
    reply("227 Entering Passive Mode (" + host + "," + std::to_string(port / 256) + "," +
          std::to_string(port % 256) + ")");
    closeFd(m_data);
    if (readable(m_dataListener, Clock::now() + std::chrono::seconds(5), m_server->m_stop))
        m_data = ::accept4(m_dataListener, nullptr, nullptr, SOCK_CLOEXEC);
}

void ScriptedFtpServer::Session::openActive() {
    answer("200 Type set");
    // PORT h1,h2,h3,h4,p1,p2: the port is the last two numbers.
    const std::string port = command();
    const std::size_t last = port.rfind(',');
    const std::size_t before = port.rfind(',', last - 1);
    m_activePort = std::atoi(port.c_str() + before + 1) * 256 + std::atoi(port.c_str() + last + 1);
    reply("200 PORT command successful");
}

void ScriptedFtpServer::Session::connectData() {
    closeFd(m_data);
    m_data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(m_activePort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_data, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        closeFd(m_data);
}

void ScriptedFtpServer::Session::awaitData() {
    if (m_data >= 0)
        readable(m_data, Clock::now() + std::chrono::seconds(5), m_server->m_stop);
}

std::string ScriptedFtpServer::Session::receiveData(int timeoutMs) {
    std::string bytes;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[8192];
    while (m_data >= 0 && readable(m_data, deadline, m_server->m_stop)) {
        const ssize_t n = ::recv(m_data, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    closeFd(m_data);
    return bytes;
}

void ScriptedFtpServer::Session::resetData() {
    if (m_data < 0)
        return;
    linger off{1, 0}; // no lingering: the close sends a reset
    ::setsockopt(m_data, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    closeFd(m_data);
}

void ScriptedFtpServer::Session::sendData(const std::string& bytes) {
    sendAll(m_data, bytes);
}

void ScriptedFtpServer::Session::closeData() {
    closeFd(m_data);
}

} // namespace testing_support
