// The local server on real sockets: its port is its own, and strangers' idle connections give
// way to new ones while the owner's stay.
#include "platform/local_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

// A TCP connection to 127.0.0.1:`port` from `source` (any 127.x.y.z address).
int connectFrom(const char* source, int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        throw std::runtime_error("cannot connect");
    return fd;
}

// True when the server closed `fd` within `timeout`; what it answered before is read over.
bool closedByServer(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buf[512];
        if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0)
            return true;
    }
}

// Sends a whole request and reads the status line of its answer.
std::string ask(int fd, const std::string& target) {
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0)
        return "";
    std::string answer;
    char buf[512];
    while (answer.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    return answer.substr(0, answer.find("\r\n"));
}

TEST(LocalServer, ThePortIsItsOwnAndAPortInUseIsAnError) {
    LocalServer first;
    const int port = first.start(0);
    ASSERT_GT(port, 0);

    LocalServer second;
    try {
        second.start(port);
        FAIL() << "a second server took the port";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::address_in_use);
        EXPECT_EQ(
            std::string(e.what()).rfind("cannot listen on 127.0.0.1:" + std::to_string(port), 0),
            0u)
            << e.what();
    }

    // A program that asks the system to share the port gets nothing either.
    int sharer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(sharer, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(sharer, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool shared =
        ::bind(sharer, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(sharer, 1) == 0;
    ::close(sharer);
    EXPECT_FALSE(shared) << "another socket listens on the server's port";
}

TEST(LocalServer, StrangersIdleConnectionsGiveWayAndTheOwnersStay) {
    ServerLimits limits;
    limits.idleTime = std::chrono::minutes(1); // only the caps may close a connection here
    limits.maxUntrustedPerClient = 2;
    limits.maxUntrusted = 3;
    LocalServer server(limits);
    server.setTrust([](const httplib::Request& r) { return r.target.starts_with("/secret/"); });
    server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("ok", "text/plain");
    });
    const int port = server.start(0);
    constexpr auto soon = std::chrono::seconds(5);
    constexpr auto never = std::chrono::milliseconds(300);

    int owner = connectFrom("127.0.0.1", port);
    EXPECT_EQ(ask(owner, "/secret/page"), "HTTP/1.1 200 OK");
    int stranger = connectFrom("127.0.0.1", port);
    EXPECT_EQ(ask(stranger, "/guess"), "HTTP/1.1 200 OK") << "answered, but not trusted";

    // One client past its cap: its oldest untrusted connection goes, the owner's stays.
    int idle1 = connectFrom("127.0.0.1", port);
    EXPECT_FALSE(closedByServer(stranger, never)) << "still within the cap";
    int idle2 = connectFrom("127.0.0.1", port);
    EXPECT_TRUE(closedByServer(stranger, soon));
    EXPECT_FALSE(closedByServer(idle1, never));

    // Other addresses fill the cap of all strangers: again the oldest goes, whoever it is.
    int other1 = connectFrom("127.0.0.2", port);
    EXPECT_FALSE(closedByServer(idle1, never));
    int other2 = connectFrom("127.0.0.3", port);
    EXPECT_TRUE(closedByServer(idle1, soon));
    for (int fd : {idle2, other1, other2})
        EXPECT_FALSE(closedByServer(fd, never));

    EXPECT_EQ(ask(owner, "/secret/again"), "HTTP/1.1 200 OK") << "the owner's connection stayed";
    for (int fd : {owner, stranger, idle1, idle2, other1, other2})
        ::close(fd);
}

TEST(LocalServer, ARequestThatTricklesInIsCutOffAtItsDeadline) {
    ServerLimits limits;
    limits.requestTime = std::chrono::milliseconds(500);
    LocalServer server(limits);
    server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("ok", "text/plain");
    });
    const int port = server.start(0);
    int slow = connectFrom("127.0.0.1", port);
    // A header line now and then keeps each read short, but not the whole request.
    bool cut = false;
    for (int line = 0; line < 40 && !cut; ++line) {
        std::string text = line == 0 ? "GET / HTTP/1.1\r\n" : "X-Line: more\r\n";
        cut = ::send(slow, text.data(), text.size(), MSG_NOSIGNAL) < 0 ||
              closedByServer(slow, std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(cut) << "the request was still being read after 4 s";
    ::close(slow);
}

} // namespace
} // namespace platform
