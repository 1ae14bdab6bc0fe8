// The local server's own listening socket, connections and time-outs around httplib's requests.
#include "platform/local_server.h"

#include "platform/files.h"
#include "platform/web_requests.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Waits up to `timeout` for `events` on `fd`; a hang-up or error counts as ready, so that the
// read or write that follows finds it.
bool waitFor(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd p{fd, events, 0};
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        int rc = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

// One connection as httplib reads and writes it: reads are buffered (httplib reads a request
// line byte by byte) and must all happen before the request's deadline; each write may wait
// `writeTime` for the peer to take data.
class ConnectionStream : public httplib::Stream {
public:
    ConnectionStream(int fd, std::string peer, int peerPort, int localPort,
                     std::chrono::milliseconds writeTime)
        : m_fd(fd), m_peer(std::move(peer)), m_peerPort(peerPort), m_localPort(localPort),
          m_writeTime(writeTime) {}

    // True when a request begins (or the peer hung up, which the read then finds) within `idle`.
    bool waitForRequest(std::chrono::milliseconds idle) const {
        return m_begin < m_end || waitFor(m_fd, POLLIN, idle);
    }
    void readUntil(Clock::time_point deadline) { m_deadline = deadline; }
    // A read ran out of time or found the end: what remains of the connection is no request.
    bool broken() const { return m_broken; }

    bool is_readable() const override { return m_begin < m_end || waitFor(m_fd, POLLIN, left()); }
    bool is_writable() const override { return waitFor(m_fd, POLLOUT, m_writeTime); }

    ssize_t read(char* ptr, size_t size) override {
        if (m_begin == m_end) {
            if (left().count() <= 0 || !waitFor(m_fd, POLLIN, left())) {
                m_broken = true;
                return -1;
            }
            ssize_t n;
            do
                n = ::recv(m_fd, m_buffer, sizeof m_buffer, 0);
            while (n < 0 && errno == EINTR);
            if (n <= 0) {
                m_broken = true;
                return n < 0 ? -1 : 0;
            }
            m_begin = 0;
            m_end = static_cast<std::size_t>(n);
        }
        const std::size_t count = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer + m_begin, count);
        m_begin += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable())
            return -1;
        ssize_t n;
        do
            n = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        return n < 0 ? -1 : n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = m_peer;
        port = m_peerPort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = m_localPort;
    }
    socket_t socket() const override { return m_fd; }

private:
    std::chrono::milliseconds left() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
    }

    int m_fd;
    std::string m_peer;
    int m_peerPort;
    int m_localPort;
    std::chrono::milliseconds m_writeTime;
    Clock::time_point m_deadline;
    char m_buffer[4096];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_broken = false;
};

[[noreturn]] void cannotListen(int error, int port) {
    throw std::system_error(error, std::generic_category(),
                            "cannot listen on 127.0.0.1:" + std::to_string(port));
}

// A listening socket on 127.0.0.1:`port` that no other socket can share.
int exclusiveListener(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        cannotListen(errno, port);
    // Lets a restart on the same port bind while connections of the last run linger in
    // TIME_WAIT. On Linux it never lets a second socket listen on a port in use: that takes
    // SO_REUSEPORT on both, which is never set here.
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        int error = errno;
        ::close(fd);
        cannotListen(error, port);
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

LocalServer::LocalServer(ServerLimits limits) : m_limits(limits) {}

LocalServer::~LocalServer() {
    stop();
}

void LocalServer::setTrust(std::function<bool(const httplib::Request&)> trusted) {
    m_trusted = std::move(trusted);
}

int LocalServer::start(int port) {
    m_listenFd = exclusiveListener(port);
    m_port = port;
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        int error = errno;
        ::close(m_listenFd);
        m_listenFd = -1;
        cannotListen(error, port);
    }
    // httplib ends streamed answers once this is invalid again (see stop()).
    svr_sock_ = m_listenFd;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return m_port;
}

void LocalServer::stop() {
    if (m_listenFd < 0 || m_stopping.exchange(true))
        return;
    svr_sock_ = INVALID_SOCKET;
    wake();
    if (m_acceptor.joinable())
        m_acceptor.join();
    ::close(m_listenFd);
    {
        std::unique_lock lock(m_mutex);
        for (const auto& c : m_open)
            ::shutdown(c->fd, SHUT_RDWR);
        m_allEnded.wait(lock, [&] { return m_open.empty(); });
    }
    reapEnded();
    ::close(m_wakeFd);
}

void LocalServer::wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void LocalServer::acceptLoop() {
    while (!m_stopping) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
            reapEnded();
        }
        if (m_stopping || !(fds[0].revents & POLLIN))
            continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: make room by dropping a stranger, or wait a moment.
                bool dropped = false;
                {
                    std::lock_guard lock(m_mutex);
                    dropped = evictOldestUntrusted(nullptr);
                }
                if (!dropped)
                    waitFor(m_wakeFd, POLLIN, std::chrono::milliseconds(100));
            }
            continue;
        }
        int yes = 1;
        // Answers and channel lines are small; waiting for ACKs (Nagle) would add tens of ms.
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        char text[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        admit(fd, text, ntohs(peer.sin_port));
    }
}

std::size_t LocalServer::untrustedCount(const std::string* client) const {
    std::size_t count = 0;
    for (const auto& c : m_open)
        if (!c->trusted && !c->evicted && (!client || c->client == *client))
            ++count;
    return count;
}

bool LocalServer::evictOldestUntrusted(const std::string* client) {
    for (const auto& c : m_open)
        if (!c->trusted && !c->evicted && (!client || c->client == *client)) {
            c->evicted = true;
            ::shutdown(c->fd, SHUT_RDWR); // its thread reads the end and closes it
            return true;
        }
    return false;
}

void LocalServer::admit(int fd, const std::string& client, int clientPort) {
    std::lock_guard lock(m_mutex);
    if (m_open.size() >= m_limits.maxConnections && !evictOldestUntrusted(nullptr)) {
        ::close(fd);
        return;
    }
    if (untrustedCount(&client) >= m_limits.maxUntrustedPerClient)
        evictOldestUntrusted(&client);
    if (untrustedCount(nullptr) >= m_limits.maxUntrusted)
        evictOldestUntrusted(nullptr);
    auto connection = std::make_shared<Connection>();
    connection->fd = fd;
    connection->client = client;
    m_open.push_back(connection);
    try {
        connection->thread =
            std::thread([this, connection, clientPort] { serve(connection, clientPort); });
    } catch (const std::system_error&) {
        m_open.pop_back();
        ::close(fd);
    }
}

void LocalServer::serve(const std::shared_ptr<Connection>& connection, int clientPort) {
    try {
        ConnectionStream stream(connection->fd, connection->client, clientPort, m_port,
                                m_limits.writeTime);
        auto trust = [&](httplib::Request& request) {
            if (connection->trusted || !m_trusted || !m_trusted(request))
                return;
            std::lock_guard lock(m_mutex);
            connection->trusted = true;
        };
        for (std::size_t n = 0; n < m_limits.maxRequestsPerConnection && !m_stopping; ++n) {
            if (!stream.waitForRequest(m_limits.idleTime))
                break;
            stream.readUntil(Clock::now() + m_limits.requestTime);
            const bool last = n + 1 == m_limits.maxRequestsPerConnection;
            bool closedByPeer = false;
            // httplib answers a request cut short with 400 and would read on: the connection
            // ends instead, or a trickle of header lines could hold it for ever.
            if (!process_request(stream, last, closedByPeer, trust) || closedByPeer ||
                stream.broken())
                break;
        }
    } catch (const std::exception&) {
        // A connection that fails ends; the server goes on.
    }
    finish(connection);
}

void LocalServer::finish(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(m_mutex);
    ::close(connection->fd);
    m_ended.push_back(std::move(connection->thread));
    m_open.remove(connection);
    // Under the lock: stop() closes the wake-up descriptor only once every connection ended.
    wake();
    m_allEnded.notify_all();
}

void LocalServer::reapEnded() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(m_mutex);
        ended.swap(m_ended);
    }
    for (auto& thread : ended)
        thread.join();
}

bool serveFileContent(httplib::Response& response, const std::filesystem::path& file) {
    try {
        response.set_content(files::readFile(file), web::contentType(file).c_str());
        response.status = 200;
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

std::string randomHexToken(std::size_t bytes) {
    std::vector<unsigned char> random(bytes);
    std::size_t got = 0;
    while (got < bytes) {
        ssize_t n = ::getrandom(random.data() + got, bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "cannot make a secret");
        }
        got += static_cast<std::size_t>(n);
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : random) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

} // namespace platform
