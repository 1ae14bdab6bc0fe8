// The scripted FTP server: one control connection, plain blocking sockets, its own thread.
#include "support/scripted_ftp_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(const std::string& address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return a;
}

int listenOn(const std::string& address, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(address, 0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::listen(fd, 4);
    port = ntohs(a.sin_port);
    return fd;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer(Script script) {
    m_listener = listenOn("127.0.0.1", m_port);
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

std::vector<std::string> ScriptedFtpServer::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void ScriptedFtpServer::record(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_commands.push_back(line);
}

void ScriptedFtpServer::run(Script script) {
    Session session;
    session.m_server = this;
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            session.m_control = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            break;
        }
    }
    if (session.m_control >= 0)
        script(session);
    closeFd(session.m_data);
    closeFd(session.m_dataListener);
    closeFd(session.m_control);
}

bool ScriptedFtpServer::Session::stopping() const {
    return m_server->m_stop;
}

void ScriptedFtpServer::Session::send(const std::string& text) {
    std::size_t done = 0;
    while (m_control >= 0 && done < text.size()) {
        ssize_t n = ::send(m_control, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string ScriptedFtpServer::Session::command(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!stopping() && Clock::now() < deadline && m_control >= 0) {
        if (auto lf = m_pending.find("\r\n"); lf != std::string::npos) {
            std::string line = m_pending.substr(0, lf);
            m_pending.erase(0, lf + 2);
            m_server->record(line);
            return line;
        }
        pollfd p{m_control, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[4096];
        ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
    return {};
}

void ScriptedFtpServer::Session::pause(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!stopping() && Clock::now() < deadline)
        ::poll(nullptr, 0, 10);
}

bool ScriptedFtpServer::Session::clientClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!stopping() && Clock::now() < deadline) {
        pollfd p{m_control, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[4096];
        ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

void ScriptedFtpServer::Session::close() {
    closeFd(m_control);
}

int ScriptedFtpServer::Session::listenData(const std::string& address) {
    closeFd(m_dataListener);
    int port = 0;
    m_dataListener = listenOn(address, port);
    return port;
}

bool ScriptedFtpServer::Session::acceptData(int timeoutMs) {
    pollfd p{m_dataListener, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    closeFd(m_data);
    m_data = ::accept4(m_dataListener, nullptr, nullptr, SOCK_CLOEXEC);
    return m_data >= 0;
}

bool ScriptedFtpServer::Session::connectData(const std::string& portArgument) {
    int f[6] = {};
    if (std::sscanf(portArgument.c_str(), "%d,%d,%d,%d,%d,%d", &f[0], &f[1], &f[2], &f[3], &f[4],
                    &f[5]) != 6)
        return false;
    const std::string host = std::to_string(f[0]) + "." + std::to_string(f[1]) + "." +
                             std::to_string(f[2]) + "." + std::to_string(f[3]);
    closeFd(m_data);
    m_data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(host, f[4] * 256 + f[5]);
    return ::connect(m_data, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

void ScriptedFtpServer::Session::sendData(const std::string& bytes) {
    std::size_t done = 0;
    while (m_data >= 0 && done < bytes.size()) {
        ssize_t n = ::send(m_data, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string ScriptedFtpServer::Session::receiveDataUntilEnd(int timeoutMs) {
    std::string out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!stopping() && Clock::now() < deadline && m_data >= 0) {
        pollfd p{m_data, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[65536];
        ssize_t n = ::recv(m_data, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

void ScriptedFtpServer::Session::closeData() {
    closeFd(m_data);
}

} // namespace testing_support
