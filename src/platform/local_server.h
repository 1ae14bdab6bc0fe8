// A local HTTP server on 127.0.0.1 that keeps its port to itself and that slow or idle clients
// cannot hold. cpp-httplib parses, routes and answers the requests (routes, handlers and default
// headers are set on it as on any httplib::Server); the listening socket, the connections and
// their time-outs are this class's own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <httplib.h>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

// - The port is bound exclusively (no port sharing): a port in use is an error.
// - Every connection has a thread of its own, so one that hangs holds only itself.
// - A request must arrive whole within `requestTime` of the moment the server starts reading it,
//   the next one on a kept-alive connection within `idleTime`; a stalled write gives up after
//   `writeTime`. An answer that streams (a long-lived channel) is only bound by its writes.
// - Connections that have not yet sent a request the owner trusts (one that carries the owner's
//   secret) are capped per client address and in all. Past a cap the oldest of them is closed,
//   so a crowd of slow or idle connections never keeps a new one out; trusted connections
//   count against `maxConnections` alone.
struct ServerLimits {
    std::chrono::milliseconds idleTime{5'000};
    std::chrono::milliseconds requestTime{5'000};
    std::chrono::milliseconds writeTime{10'000};
    std::size_t maxConnections = 256;
    std::size_t maxUntrusted = 64;
    std::size_t maxUntrustedPerClient = 16;
    std::size_t maxRequestsPerConnection = 100;
};

class LocalServer : public httplib::Server {
public:
    explicit LocalServer(ServerLimits limits = {});
    ~LocalServer() override;
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Whether a request proves its connection to be the owner's. Called on the connection's
    // thread before routing; set before start().
    void setTrust(std::function<bool(const httplib::Request&)> trusted);

    // Binds 127.0.0.1:`port` (0: a free port) and serves from a thread of its own. Returns the
    // port. Throws std::system_error ("cannot listen on 127.0.0.1:<port>") with the errno,
    // EADDRINUSE when another socket has the port.
    int start(int port);
    // Stops accepting, closes every connection and waits for their threads. Handlers that
    // wait must end their waits when asked to stop (see stopping()).
    void stop();
    bool stopping() const { return m_stopping; }
    int port() const { return m_port; }

private:
    // httplib's own binding and listening would bypass the guards above.
    using httplib::Server::bind_to_any_port;
    using httplib::Server::bind_to_port;
    using httplib::Server::listen;
    using httplib::Server::listen_after_bind;
    using httplib::Server::set_keep_alive_max_count;
    using httplib::Server::set_keep_alive_timeout;
    using httplib::Server::set_read_timeout;
    using httplib::Server::set_socket_options;
    using httplib::Server::set_write_timeout;

    struct Connection {
        int fd = -1;
        std::string client; // the peer's address
        bool trusted = false;
        bool evicted = false;
        std::thread thread;
    };

    void acceptLoop();
    void admit(int fd, const std::string& client, int clientPort);
    void serve(const std::shared_ptr<Connection>& connection, int clientPort);
    void finish(const std::shared_ptr<Connection>& connection);
    // Closes the oldest untrusted connection (of `client`, when given). Needs m_mutex.
    bool evictOldestUntrusted(const std::string* client);
    std::size_t untrustedCount(const std::string* client) const;
    void reapEnded();
    void wake();

    const ServerLimits m_limits;
    std::function<bool(const httplib::Request&)> m_trusted;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;

    std::mutex m_mutex;
    std::condition_variable m_allEnded;
    std::list<std::shared_ptr<Connection>> m_open; // oldest first
    std::vector<std::thread> m_ended;              // threads that are done, to be joined
};

// Sets `response` to the file's content (200, Content-Type by its extension). False, and
// nothing set, when the file cannot be read.
bool serveFileContent(httplib::Response& response, const std::filesystem::path& file);

// `bytes` random bytes from the system as lower-case hexadecimal: a secret for an address.
std::string randomHexToken(std::size_t bytes = 32);

} // namespace platform
