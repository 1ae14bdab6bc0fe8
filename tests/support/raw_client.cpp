// Raw TCP clients over POSIX sockets.
#include "support/raw_client.h"

#include <arpa/inet.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace testing_support {

int connectFrom(const std::string& source, int port, const std::string& text) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{AF_INET, 0, {}, {}};
    sockaddr_in to{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) < 0)
        throw std::runtime_error("cannot connect from " + source);
    return fd;
}

bool closedWithin(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (char buf[512];;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0)
            return false;
        if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0)
            return true;
    }
}

} // namespace testing_support
