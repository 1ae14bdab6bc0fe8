// 200 MB between two CSockets on loopback against a plain blocking copy between two sockets.
#include "net/socket.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 1024 * 1024;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Plain copy: one thread writes with blocking send, one reads with blocking recv.
double plainCopy(std::size_t total) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    ::listen(listener, 1);
    int writer = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(writer, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int reader = ::accept(listener, nullptr, nullptr);
    ::close(listener);

    const auto start = Clock::now();
    std::thread sender([&] {
        std::string piece(kPiece, 'x');
        std::size_t sent = 0;
        while (sent < total) {
            ssize_t n = ::send(writer, piece.data(), std::min(kPiece, total - sent), 0);
            if (n <= 0)
                std::abort();
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(writer, SHUT_WR);
    });
    std::vector<char> buffer(kPiece);
    std::size_t received = 0;
    for (;;) {
        ssize_t n = ::recv(reader, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        received += static_cast<std::size_t>(n);
    }
    sender.join();
    double elapsed = seconds(start);
    ::close(writer);
    ::close(reader);
    if (received != total)
        std::abort();
    return elapsed;
}

// CSockets: each end on its own logic thread and loop, the sender feeding one piece per
// OnSendComplete as the FTP client does, the receiver taking every arrival with GetData.
double csocketCopy(std::size_t total) {
    std::atomic<int> port{0};
    std::atomic<std::size_t> received{0};
    Clock::time_point start;

    std::thread receiverThread([&] {
        platform::EventLoop loop;
        vellumite::CSocket server(loop), connection(loop);
        bool done = false;
        server.OnConnectionRequest = [&](std::int32_t id) { connection.Accept(id); };
        connection.OnDataArrival = [&](std::int32_t) { received += connection.GetData().size(); };
        connection.OnClose = [&] { done = true; };
        server.Bind(0, "127.0.0.1");
        server.Listen();
        port = server.LocalPort();
        loop.runUntil([&] { return done; });
    });
    while (port == 0)
        std::this_thread::yield();

    platform::EventLoop loop;
    vellumite::CSocket client(loop);
    const std::string piece(kPiece, 'x');
    std::size_t sent = 0;
    auto sendNext = [&] {
        if (sent >= total) {
            client.CloseSocket();
            return;
        }
        std::size_t n = std::min(kPiece, total - sent);
        sent += n;
        client.SendData(std::string_view(piece).substr(0, n));
    };
    bool closed = false;
    client.OnConnect = [&] {
        start = Clock::now();
        sendNext();
    };
    client.OnSendComplete = sendNext;
    client.OnClose = [&] { closed = true; };
    client.Connect("127.0.0.1", port.load());
    loop.runUntil([&] { return closed; });
    receiverThread.join();
    double elapsed = seconds(start);
    if (received != total)
        std::abort();
    return elapsed;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::size_t total = megabytes * 1024 * 1024;
    std::vector<double> plain, csock;
    for (int i = 0; i < runs; ++i) { // alternated, so both see the same machine load
        plain.push_back(plainCopy(total));
        csock.push_back(csocketCopy(total));
    }
    const double mb = static_cast<double>(total) / (1024.0 * 1024.0);
    const double plainRate = mb / median(plain), csockRate = mb / median(csock);
    std::printf("transfer: %zu MB over loopback, median of %d runs\n", megabytes, runs);
    std::printf("%-28s %10.0f MB/s\n", "plain blocking copy", plainRate);
    std::printf("%-28s %10.0f MB/s\n", "CSocket pair on the loop", csockRate);
    std::printf("ratio CSocket / plain: %.2f (target >= 0.70)\n", csockRate / plainRate);
    return 0;
}
