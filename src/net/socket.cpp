// CSocket over non-blocking POSIX sockets: readiness from the loop becomes the socket events.
#include "net/socket.h"

#include "net/events.h"
#include "net/socket_support.h"
#include "platform/error.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vellumite {

namespace {

namespace mss = MSocketSupport;

[[noreturn]] void raiseNumber(int number, const char* source) {
    throw platform::NumberedError(number, mss::GetErrorDescription(number), source);
}

[[noreturn]] void raiseErrno(const char* source) {
    raiseNumber(mss::ErrorFromErrno(errno), source);
}

bool isDottedAddress(const std::string& text) {
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::string dotted(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

// The IPv4 address for a dotted text (the wildcard address when empty) and a port.
bool makeAddress(const std::string& ip, std::int32_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    if (port < 0 || port > 65535)
        return false;
    out.sin_port = htons(static_cast<std::uint16_t>(port));
    if (ip.empty()) {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return ::inet_pton(AF_INET, ip.c_str(), &out.sin_addr) == 1;
}

std::int32_t clamp32(std::size_t n) {
    return static_cast<std::int32_t>(std::min<std::size_t>(n, INT32_MAX));
}

std::string toBytes(const SocketData& data) {
    auto raw = [](const auto& value) {
        return std::string(reinterpret_cast<const char*>(&value), sizeof value);
    };
    return std::visit(
        [&](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, bool>)
                return raw(static_cast<std::int16_t>(v ? -1 : 0)); // True is all bits set
            else if constexpr (std::is_same_v<T, Currency>)
                return raw(v.scaled);
            else if constexpr (std::is_same_v<T, VbDate>)
                return raw(v.days);
            else if constexpr (std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>)
                return std::string(v.begin(), v.end());
            else
                return raw(v);
        },
        data);
}

// Reads a value from the first bytes; missing bytes read as zero.
template <class T>
T readValue(const std::string& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
    return value;
}

SocketData fromBytes(std::string&& bytes, VarType type) {
    switch (type) {
    case VarType::Integer:
        return readValue<std::int16_t>(bytes);
    case VarType::Long:
        return readValue<std::int32_t>(bytes);
    case VarType::Single:
        return readValue<float>(bytes);
    case VarType::Double:
        return readValue<double>(bytes);
    case VarType::Currency:
        return Currency{readValue<std::int64_t>(bytes)};
    case VarType::Date:
        return VbDate{readValue<double>(bytes)};
    case VarType::Boolean:
        return readValue<std::int16_t>(bytes) != 0;
    case VarType::Byte:
        return readValue<std::uint8_t>(bytes);
    case VarType::ByteArray:
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    case VarType::String:
        break;
    }
    return std::move(bytes);
}

} // namespace

CSocket::CSocket(platform::EventLoop& loop) : m_loop(loop) {
    m_maxDatagram = mss::InitWinsockService();
}

CSocket::~CSocket() {
    if (m_requestId != 0)
        mss::CancelResolve(m_requestId);
    if (m_handle != -1) {
        mss::UnregisterSocket(m_handle);
        ::close(m_handle);
    }
}

// ---- sockets and their notifications ---------------------------------------------------------

int CSocket::vbSocket() {
    int type = m_protocol == SocketProtocol::TCP ? SOCK_STREAM : SOCK_DGRAM;
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        raiseErrno("CSocket.vbSocket");
    try {
        mss::RegisterSocket(fd, *this);
    } catch (...) {
        ::close(fd);
        throw;
    }
    m_handle = fd;
    updateNotifications();
    return fd;
}

void CSocket::ensureSocket() {
    if (m_handle != -1)
        return;
    vbSocket();
    readBufferSizes();
}

void CSocket::readBufferSizes() {
    if (m_protocol == SocketProtocol::UDP) {
        m_recvBufferSize = m_sendBufferSize = m_maxDatagram;
        return;
    }
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, &value, &length) == 0)
        m_recvBufferSize = value;
    length = sizeof value;
    if (::getsockopt(m_handle, SOL_SOCKET, SO_SNDBUF, &value, &length) == 0)
        m_sendBufferSize = value;
    if (m_recvBufferSize <= 0)
        m_recvBufferSize = 65536;
}

// Poll interest follows the state: a write watch only while bytes wait, since a writable
// socket is ready nearly always and would wake the loop for nothing.
void CSocket::updateNotifications() {
    if (m_handle == -1)
        return;
    const bool sendWaiting = m_sendOffset < m_sendBuffer.size();
    short events = 0;
    if (m_protocol == SocketProtocol::UDP) {
        events = POLLIN | (sendWaiting ? POLLOUT : 0);
    } else {
        switch (m_state) {
        case SocketState::Listening:
            events = POLLIN;
            break;
        case SocketState::Connecting:
            events = POLLOUT;
            break;
        case SocketState::Connected:
        case SocketState::Closing:
            if (m_tlsPhase == TlsPhase::Handshaking) {
                events = m_handshakeWantsWrite ? POLLOUT : POLLIN;
                break;
            }
            events = POLLIN;
            if ((sendWaiting && !m_tlsWriteWantsRead) || m_tlsReadWantsWrite ||
                m_closeNotifyPending)
                events |= POLLOUT;
            break;
        default:
            events = 0;
        }
    }
    mss::SetNotifications(m_handle, events);
}

void CSocket::OnReadiness(short revents) {
    std::weak_ptr<int> token = m_lifetime;
    const int handle = m_handle;
    auto stillHere = [&] { return alive(token) && m_handle == handle; };

    if (m_protocol == SocketProtocol::UDP) {
        if (revents & POLLOUT)
            PostSocketEvent(mss::FD_WRITE, 0);
        if (stillHere() && (revents & (POLLIN | POLLERR)))
            PostSocketEvent(mss::FD_READ, 0);
        return;
    }
    switch (m_state) {
    case SocketState::Listening:
        PostSocketEvent(mss::FD_ACCEPT, 0);
        return;
    case SocketState::Connecting: {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        PostSocketEvent(mss::FD_CONNECT, error ? mss::ErrorFromErrno(error) : 0);
        return;
    }
    case SocketState::Connected:
    case SocketState::Closing:
        if (m_tlsPhase == TlsPhase::Handshaking) {
            continueHandshake();
            return;
        }
        if (revents & POLLOUT) {
            if (m_closeNotifyPending)
                finishGracefulClose();
            else
                PostSocketEvent(mss::FD_WRITE, 0);
            // A TLS read may need to write first (a reply the protocol owes the peer).
            if (stillHere() && m_tlsReadWantsWrite)
                PostSocketEvent(mss::FD_READ, 0);
        }
        // End of stream and errors show up as readable: the receive tells which.
        if (stillHere() && (revents & (POLLIN | POLLHUP | POLLERR))) {
            if (m_tlsWriteWantsRead)
                PostSocketEvent(mss::FD_WRITE, 0);
            if (stillHere())
                PostSocketEvent(mss::FD_READ, 0);
        }
        return;
    default:
        return;
    }
}

void CSocket::PostSocketEvent(int kind, int error) {
    if (error >= 1) {
        failWith(error, "");
        return;
    }
    std::weak_ptr<int> token = m_lifetime;
    switch (kind) {
    case mss::FD_READ: {
        long n = 0;
        try {
            n = RecvToBuffer();
        } catch (const platform::NumberedError& e) {
            failWith(e.number(), "", e.description()); // as a notification's error
            return;
        }
        if (n > 0) {
            m_bytesReceived += static_cast<std::int32_t>(n);
            fire(OnDataArrival, clamp32(m_recvBuffer.size()));
        } else if (n == 0 && m_protocol == SocketProtocol::TCP) {
            handlePeerClose();
        }
        return;
    }
    case mss::FD_WRITE:
        if (m_sendOffset < m_sendBuffer.size()) {
            try {
                SendBufferedData();
            } catch (const platform::NumberedError& e) {
                failWith(e.number(), e.source(), e.description());
            }
        } else if (m_sendCompletePending) {
            m_sendCompletePending = false;
            fire(OnSendComplete);
        }
        return;
    case mss::FD_ACCEPT:
        handleAccept();
        return;
    case mss::FD_CONNECT:
        handleConnected();
        return;
    case mss::FD_CLOSE:
        handlePeerClose();
        return;
    default:
        return;
    }
}

void CSocket::handleAccept() {
    int fd = ::accept4(m_handle, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
            return;
        PostSocketEvent(mss::FD_ACCEPT, mss::ErrorFromErrno(errno));
        return;
    }
    fire(OnConnectionRequest, static_cast<std::int32_t>(fd));
    // A connection no handler adopted would stay open for good.
    if (!mss::IsRegistered(fd))
        ::close(fd);
}

void CSocket::handleConnected() {
    readLocalAddress();
    m_state = SocketState::Connected;
    updateNotifications();
    fire(OnConnect);
}

void CSocket::handlePeerClose() {
    std::weak_ptr<int> token = m_lifetime;
    const int handle = m_handle;
    if (handle == -1)
        return;
    // Whatever the peer sent before closing is reported first.
    for (;;) {
        long n = 0;
        try {
            n = RecvToBuffer();
        } catch (const platform::NumberedError&) {
            break;
        }
        if (n <= 0)
            break;
        m_bytesReceived += static_cast<std::int32_t>(n);
        fire(OnDataArrival, clamp32(m_recvBuffer.size()));
        if (!alive(token) || m_handle != handle)
            return;
    }
    if (m_state != SocketState::Closing) {
        m_state = SocketState::Closing;
        // The peer's close notice is answered with ours: some servers wait for it.
        if (m_tlsPhase == TlsPhase::Ready && m_sendOffset >= m_sendBuffer.size())
            m_tls->shutdown();
        if (m_sendOffset < m_sendBuffer.size()) {
            try {
                SendBufferedData();
            } catch (const platform::NumberedError&) {
                // The peer is gone; what it did not take is lost with the connection.
            }
            if (!alive(token) || m_handle != handle)
                return;
        }
    }
    try {
        DestroySocket();
    } catch (const platform::NumberedError&) {
    }
    m_state = SocketState::Closed;
    fire(OnClose);
}

void CSocket::PostGetHostEvent(std::int32_t requestId, int error, const std::string& address,
                               const std::string& name) {
    // Checked before the error: a failed lookup that was superseded must not break the
    // connection that replaced it.
    if (requestId != m_requestId)
        return;
    m_requestId = 0;
    if (error != 0) {
        failWith(error, "");
        return;
    }
    m_state = SocketState::HostResolved;
    m_remoteHost = name;
    m_remoteHostNeedsLookup = false;
    m_remoteHostIP = address;
    const char* source =
        m_protocol == SocketProtocol::TCP ? "CSocket.PostGetHostEvent" : "CSocket.SendData";
    try {
        if (m_protocol == SocketProtocol::TCP)
            startConnect(source);
        else if (m_sendOffset < m_sendBuffer.size() || m_sendCompletePending)
            SendBufferedData();
    } catch (const platform::NumberedError& e) {
        failWith(e.number(), source);
    }
}

void CSocket::failWith(int number, const std::string& source, const std::string& description) {
    m_state = SocketState::Error;
    try {
        DestroySocket();
    } catch (const platform::NumberedError&) {
        // The socket is unusable either way; the error being reported is the one that counts.
    }
    raiseError(number, source, description);
}

void CSocket::raiseError(int number, const std::string& source, const std::string& description) {
    bool cancelDisplay = false;
    fire(OnError, static_cast<std::int16_t>(number),
         description.empty() ? mss::GetErrorDescription(number) : description, std::int32_t{0},
         source, std::string(), std::int32_t{0}, cancelDisplay);
}

// ---- methods -------------------------------------------------------------------------------

void CSocket::Connect(std::optional<std::string> remoteHost,
                      std::optional<std::int32_t> remotePort) {
    if (remoteHost && !remoteHost->empty())
        setRemoteHost(*remoteHost);
    if (remotePort)
        m_remotePort = *remotePort;
    if (m_remoteHost.empty())
        raiseNumber(mss::err::AddressNotAvailable, "CSocket.Connect");
    ensureSocket();
    m_recvBuffer.clear();
    m_tlsPeer = {};
    m_tlsVerified = false;
    if (isDottedAddress(m_remoteHost)) {
        m_remoteHostIP = m_remoteHost;
        startConnect("CSocket.Connect");
        return;
    }
    m_state = SocketState::ResolvingHost;
    m_resolvePurpose = ForConnect;
    updateNotifications();
    try {
        m_requestId = mss::ResolveHost(m_remoteHost, *this);
    } catch (const platform::NumberedError&) {
        DestroySocket();
        throw;
    }
}

void CSocket::startConnect(const char* source) {
    sockaddr_in address{};
    if (!makeAddress(m_remoteHostIP, m_remotePort, address))
        raiseNumber(mss::err::AddressNotAvailable, source);
    if (::connect(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS)
        raiseErrno(source);
    // Even an immediate success is reported through the loop, as every connect is.
    m_state = SocketState::Connecting;
    updateNotifications();
}

void CSocket::Listen() {
    ensureSocket();
    m_recvBuffer.clear();
    if (!m_bound) {
        sockaddr_in address{};
        if (!makeAddress(m_localIP, m_localPort, address)) {
            m_state = SocketState::Error;
            raiseNumber(mss::err::AddressNotAvailable, "CSocket.Listen");
        }
        if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            m_state = SocketState::Error;
            raiseErrno("CSocket.Listen");
        }
        m_bound = true;
    }
    if (::listen(m_handle, 5) != 0) {
        m_state = SocketState::Error;
        raiseErrno("CSocket.Listen");
    }
    readLocalAddress();
    m_state = SocketState::Listening;
    updateNotifications();
}

void CSocket::Bind(std::optional<std::int32_t> localPort, std::optional<std::string> localIP) {
    ensureSocket();
    if (localIP && !localIP->empty())
        m_localIP = *localIP;
    if (localPort && *localPort > 0)
        m_localPort = *localPort;
    sockaddr_in address{};
    if (!makeAddress(m_localIP, m_localPort, address))
        raiseNumber(mss::err::AddressNotAvailable, "CSocket.Bind");
    if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        raiseErrno("CSocket.Bind");
    m_bound = true;
    readLocalAddress();
    updateNotifications();
}

void CSocket::Accept(std::int32_t requestID) {
    if (m_handle != -1)
        DestroySocket();
    const int fd = requestID;
    sockaddr_in local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0)
        raiseErrno("CSocket.Accept");
    mss::RegisterSocket(fd, *this);
    m_handle = fd;
    m_localIP = dotted(local);
    m_localHostName = m_localIP;
    m_localPort = ntohs(local.sin_port);
    m_remoteHostIP = dotted(peer);
    m_remoteHost = m_remoteHostIP;
    m_remoteHostNeedsLookup = false;
    m_remotePort = ntohs(peer.sin_port);
    m_protocol = type == SOCK_STREAM ? SocketProtocol::TCP : SocketProtocol::UDP;
    readBufferSizes();
    m_recvBuffer.clear();
    m_tlsPeer = {};
    m_tlsVerified = false;
    m_state = SocketState::Connected;
    updateNotifications();
}

void CSocket::CloseSocket() {
    if (m_handle == -1)
        return;
    if (m_state == SocketState::Connected) {
        m_state = SocketState::Closing;
        // Bytes still waiting go out first, and a TLS handshake under way ends first; the
        // sending side closes behind them.
        if (m_sendOffset < m_sendBuffer.size() || m_tlsPhase == TlsPhase::Handshaking) {
            m_shutdownPending = true;
        } else {
            finishGracefulClose();
        }
        updateNotifications();
        return;
    }
    DestroySocket();
    m_state = SocketState::Closed;
}

void CSocket::DestroySocket() {
    if (m_requestId != 0) {
        mss::CancelResolve(m_requestId);
        m_requestId = 0;
    }
    if (m_handle == -1)
        return;
    const int fd = m_handle;
    mss::UnregisterSocket(fd);
    m_handle = -1;
    m_bound = false;
    m_broadcast = false;
    // Bytes meant for this connection must not go to the next one.
    m_sendBuffer.clear();
    m_sendOffset = 0;
    m_sendCompletePending = false;
    m_shutdownPending = false;
    if (m_tlsPhase == TlsPhase::Ready)
        harvestTlsSession();
    m_tlsKeptSession = TlsSession();
    m_tls.reset();
    m_tlsPhase = TlsPhase::None;
    m_handshakeWantsWrite = m_tlsReadWantsWrite = m_tlsWriteWantsRead = false;
    m_closeNotifyPending = false;
    m_tlsCommitted = 0;
    if (::close(fd) != 0 && errno != EINTR)
        raiseErrno("CSocket.DestroySocket");
}

void CSocket::finishGracefulClose() {
    m_shutdownPending = false;
    if (m_tlsPhase == TlsPhase::Ready) {
        // The close notice tells the peer the stream was not cut short. A peer that has gone
        // hears the TCP close below all the same.
        m_closeNotifyPending = m_tls->shutdown() == platform::tls::Status::WantWrite;
        if (m_closeNotifyPending) {
            updateNotifications();
            return;
        }
        updateNotifications();
    }
    if (::shutdown(m_handle, SHUT_WR) != 0 && errno != ENOTCONN)
        raiseErrno("CSocket.CloseSocket");
}

void CSocket::readLocalAddress() {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return;
    m_localPort = ntohs(local.sin_port);
    // A wildcard bind keeps the address the owner gave (empty means every address).
    if (local.sin_addr.s_addr != htonl(INADDR_ANY)) {
        m_localIP = dotted(local);
        m_localHostName.reset();
    }
}

// ---- sending and receiving -------------------------------------------------------------------

void CSocket::SendData(const SocketData& data) {
    SendData(toBytes(data));
}

void CSocket::SendData(std::string_view bytes) {
    if (m_protocol == SocketProtocol::TCP && m_handle == -1)
        throw platform::NumberedError(
            mss::err::WrongProtocolOrState,
            "Wrong protocol or connection state for the requested transaction "
            "or request.",
            "CSocket.SendData");
    ensureSocket();
    if (m_tlsCommitted > 0) {
        // TLS has already sealed those bytes into a record: they go out before the new ones.
        m_sendBuffer.erase(0, m_sendOffset);
        m_sendBuffer.resize(m_tlsCommitted);
        m_sendBuffer.append(bytes);
    } else {
        m_sendBuffer.assign(bytes);
    }
    m_sendOffset = 0;
    m_sendCompletePending = true;
    SendBufferedData();
}

void CSocket::SendBufferedData() {
    std::weak_ptr<int> token = m_lifetime;
    const char* pending = m_sendBuffer.data() + m_sendOffset;
    const std::size_t remaining = m_sendBuffer.size() - m_sendOffset;
    long n;
    if (m_protocol == SocketProtocol::TCP) {
        n = sendSome(pending, remaining);
        if (n < 0) {
            updateNotifications(); // the write watch resumes the send
            return;
        }
    } else {
        if (m_remoteHostIP.empty()) {
            if (m_remoteHost.empty())
                raiseNumber(mss::err::DestinationRequired, "CSocket.SendData");
            m_resolvePurpose = ForDatagram;
            m_requestId = mss::ResolveHost(m_remoteHost, *this);
            return;
        }
        sockaddr_in address{};
        if (!makeAddress(m_remoteHostIP, m_remotePort, address))
            raiseNumber(mss::err::AddressNotAvailable, "CSocket.SendData");
        n = ::sendto(m_handle, pending, remaining, MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            updateNotifications(); // the write watch resumes the send
            return;
        }
        raiseErrno("CSocket.SendData");
    }
    const std::size_t sent = static_cast<std::size_t>(n);
    if (remaining <= sent) {
        m_sendBuffer.clear();
        m_sendOffset = 0;
        // OnSendComplete comes through the loop, after this call has returned.
        mss::PostNotification(m_handle, mss::FD_WRITE);
        if (m_shutdownPending)
            finishGracefulClose();
    } else {
        m_sendOffset += sent;
    }
    updateNotifications();
    fire(OnSendProgress, clamp32(sent), clamp32(remaining - sent));
}

long CSocket::sendSome(const char* data, std::size_t size) {
    if (m_tls)
        return tlsSend(data, size);
    const ssize_t n = ::send(m_handle, data, size, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return -1;
    if (n < 0)
        raiseErrno("CSocket.SendData");
    return n;
}

long CSocket::RecvToBuffer() {
    if (m_protocol == SocketProtocol::TCP && m_tls)
        return m_tlsPhase == TlsPhase::Ready ? tlsReceive() : -1;
    if (m_protocol == SocketProtocol::TCP) {
        // Received into a scratch area first: growing the buffer itself would zero-fill
        // the whole receive size on every call, whatever arrived.
        m_scratch.resize(static_cast<std::size_t>(m_recvBufferSize));
        ssize_t n = ::recv(m_handle, m_scratch.data(), m_scratch.size(), 0);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return -1;
            raiseErrno("CSocket.RecvToBuffer");
        }
        m_recvBuffer.append(m_scratch.data(), static_cast<std::size_t>(n));
        return n;
    }
    std::string datagram(static_cast<std::size_t>(m_maxDatagram), '\0');
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(m_handle, datagram.data(), datagram.size(), 0,
                           reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return -1;
        raiseErrno("CSocket.RecvToBuffer");
    }
    m_recvBuffer.append(datagram.data(), static_cast<std::size_t>(n));
    m_remotePort = ntohs(from.sin_port);
    m_remoteHostIP = dotted(from);
    m_remoteHost = m_remoteHostIP;
    m_remoteHostNeedsLookup = true;
    return n;
}

void CSocket::takeBytes(std::string& out, std::int32_t maxLen, bool remove) {
    std::size_t count = m_recvBuffer.size();
    if (maxLen > 0)
        count = std::min(count, static_cast<std::size_t>(maxLen));
    if (!remove) {
        out.assign(m_recvBuffer, 0, count);
    } else if (count == m_recvBuffer.size()) {
        out = std::move(m_recvBuffer);
        m_recvBuffer.clear();
    } else {
        out.assign(m_recvBuffer, 0, count);
        m_recvBuffer.erase(0, count);
    }
    m_bytesReceived = clamp32(m_recvBuffer.size());
}

void CSocket::GetData(SocketData& data, VarType type, std::int32_t maxLen) {
    if (m_recvBuffer.empty())
        return;
    std::string bytes;
    takeBytes(bytes, maxLen, true);
    data = fromBytes(std::move(bytes), type);
}

void CSocket::PeekData(SocketData& data, VarType type, std::int32_t maxLen) {
    if (m_recvBuffer.empty())
        return;
    std::string bytes;
    takeBytes(bytes, maxLen, false);
    data = fromBytes(std::move(bytes), type);
}

std::string CSocket::GetData(std::int32_t maxLen) {
    std::string bytes;
    if (!m_recvBuffer.empty())
        takeBytes(bytes, maxLen, true);
    return bytes;
}

std::string CSocket::PeekData(std::int32_t maxLen) {
    std::string bytes;
    if (!m_recvBuffer.empty())
        takeBytes(bytes, maxLen, false);
    return bytes;
}

// ---- TLS -------------------------------------------------------------------------------------

namespace {

[[noreturn]] void raiseTls(const std::string& reason, const char* source) {
    throw platform::NumberedError(mss::err::TlsFailed,
                                  "The secure connection failed: " + reason + ".", source);
}

} // namespace

void CSocket::StartTls(TlsOptions options) {
    if (m_protocol != SocketProtocol::TCP || m_state != SocketState::Connected || m_tls)
        throw platform::NumberedError(mss::err::WrongProtocolOrState,
                                      "Wrong protocol or connection state for the requested "
                                      "transaction or request.",
                                      "CSocket.StartTls");
    try {
        m_tls = options.server
                    ? std::make_unique<platform::tls::Connection>(options.context, m_handle)
                    : std::make_unique<platform::tls::Connection>(options.context, m_handle,
                                                                  options.peerName, options.resume);
    } catch (const std::exception& e) {
        raiseTls(e.what(), "CSocket.StartTls");
    }
    // What came in the clear before the handshake must not pass for protected data.
    m_recvBuffer.clear();
    m_bytesReceived = 0;
    m_tlsOptions = std::move(options);
    m_tlsPeer = {};
    m_tlsVerified = false;
    m_tlsPhase = TlsPhase::Handshaking;
    m_handshakeWantsWrite = !m_tlsOptions.server; // the client speaks first
    updateNotifications();
}

void CSocket::continueHandshake() {
    using platform::tls::Status;
    const Status status = m_tls->handshake();
    switch (status) {
    case Status::Done:
        return finishHandshake();
    case Status::WantRead:
    case Status::WantWrite:
        m_handshakeWantsWrite = status == Status::WantWrite;
        updateNotifications();
        return;
    case Status::Closed:
        return failWith(mss::err::TlsFailed, "CSocket.StartTls",
                        "The secure connection failed: the peer closed it during the handshake.");
    case Status::Failed:
        return failWith(mss::err::TlsFailed, "CSocket.StartTls",
                        "The secure connection failed: " + m_tls->error() + ".");
    }
}

void CSocket::finishHandshake() {
    m_tlsPeer = m_tls->peerCertificate();
    m_tlsVerified = m_tls->verified();
    if (!m_tlsOptions.server && !m_tlsVerified && !trustedFingerprint(m_tlsPeer.fingerprint)) {
        const std::string reason = m_tls->verifyError();
        return failWith(mss::err::TlsUntrusted, "CSocket.StartTls",
                        "The certificate of " + m_tlsOptions.peerName + " is not trusted (" +
                            reason + "). Its SHA-256 fingerprint is " +
                            (m_tlsPeer.fingerprint.empty() ? "unknown" : m_tlsPeer.fingerprint) +
                            ".");
    }
    m_tlsPhase = TlsPhase::Ready;
    m_handshakeWantsWrite = false;
    updateNotifications();
    // Data that came with the handshake's last flight sits inside TLS, unannounced by poll.
    mss::PostNotification(m_handle, mss::FD_READ);
    std::weak_ptr<int> token = m_lifetime;
    const int handle = m_handle;
    fire(OnTlsConnect);
    if (alive(token) && m_handle == handle && m_shutdownPending &&
        m_sendOffset >= m_sendBuffer.size())
        finishGracefulClose();
}

bool CSocket::trustedFingerprint(const std::string& fingerprint) const {
    const auto& trusted = m_tlsOptions.trustedFingerprints;
    return !fingerprint.empty() &&
           std::find(trusted.begin(), trusted.end(), fingerprint) != trusted.end();
}

long CSocket::tlsSend(const char* data, std::size_t size) {
    using platform::tls::Status;
    if (m_tlsPhase != TlsPhase::Ready)
        return -1; // the handshake first; its end turns the write watch on
    m_tlsWriteWantsRead = false;
    const auto result = m_tls->write(data, size);
    switch (result.status) {
    case Status::Done:
        m_tlsCommitted = 0;
        return static_cast<long>(result.bytes);
    case Status::WantRead:
    case Status::WantWrite:
        m_tlsCommitted = size;
        m_tlsWriteWantsRead = result.status == Status::WantRead;
        return -1;
    case Status::Closed:
        raiseTls("the peer closed it", "CSocket.SendData");
    case Status::Failed:
        break;
    }
    raiseTls(m_tls->error(), "CSocket.SendData");
}

// Reads what TLS can give now, up to one receive buffer's worth.
long CSocket::tlsReceive() {
    using platform::tls::Status;
    m_tlsReadWantsWrite = false;
    m_scratch.resize(static_cast<std::size_t>(m_recvBufferSize));
    std::size_t total = 0;
    while (total < m_scratch.size()) {
        const auto result = m_tls->read(m_scratch.data() + total, m_scratch.size() - total);
        if (result.status == Status::Done) {
            total += result.bytes;
            continue;
        }
        if (result.status == Status::Closed) {
            if (total == 0)
                return 0;
            // The close notice came with data: the end is reported on the next pass, since
            // the socket may never turn readable again.
            mss::PostNotification(m_handle, mss::FD_READ);
            break;
        }
        if (result.status == Status::Failed)
            raiseTls(m_tls->error(), "CSocket.RecvToBuffer");
        if (result.status == Status::WantWrite) {
            m_tlsReadWantsWrite = true;
            updateNotifications();
        }
        break;
    }
    m_recvBuffer.append(m_scratch.data(), total);
    if (total == m_scratch.size() && m_tls->pending() > 0)
        mss::PostNotification(m_handle, mss::FD_READ);
    return total > 0 ? static_cast<long>(total) : -1;
}

std::string CSocket::TlsVersion() const {
    return m_tlsPhase == TlsPhase::Ready ? m_tls->version() : std::string();
}

std::string CSocket::TlsCipher() const {
    return m_tlsPhase == TlsPhase::Ready ? m_tls->cipher() : std::string();
}

bool CSocket::TlsResumed() const {
    return m_tlsPhase == TlsPhase::Ready && m_tls->resumed();
}

// A connection given up may still hold, unread, the session the server sent after the
// handshake (an upload reads nothing until its end): what TLS can read now is read and
// dropped, so that the next connection can resume it.
void CSocket::harvestTlsSession() {
    char discarded[4096];
    for (int reads = 0; reads < 64; ++reads)
        if (m_tls->read(discarded, sizeof discarded).status != platform::tls::Status::Done)
            return;
}

platform::tls::SavedSession CSocket::TlsSession() const {
    if (m_tls)
        if (auto session = m_tls->session())
            return session;
    return m_tlsKeptSession;
}

// ---- properties ------------------------------------------------------------------------------

const std::string& CSocket::LocalHostName() const {
    if (!m_localHostName)
        m_localHostName = m_localIP.empty() ? std::string() : mss::ReverseLookup(m_localIP);
    return *m_localHostName;
}

const std::string& CSocket::RemoteHost() const {
    if (m_remoteHostNeedsLookup) {
        m_remoteHost = mss::ReverseLookup(m_remoteHostIP);
        m_remoteHostNeedsLookup = false;
    }
    return m_remoteHost;
}

void CSocket::setRemoteHost(const std::string& host) {
    m_remoteHost = host;
    m_remoteHostNeedsLookup = false;
    if (!isDottedAddress(host)) {
        m_remoteHostIP.clear(); // a new name must be resolved, not sent to the old address
        return;
    }
    m_remoteHostIP = host;
    if (m_protocol == SocketProtocol::UDP) {
        const bool broadcast = host.size() >= 4 && host.compare(host.size() - 4, 4, ".255") == 0;
        if (broadcast != m_broadcast)
            setBroadcast(broadcast);
    }
}

void CSocket::setBroadcast(bool on) {
    ensureSocket();
    int value = on ? 1 : 0;
    if (::setsockopt(m_handle, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        raiseErrno("CSocket.RemoteHost");
    m_broadcast = on;
}

void CSocket::setProtocol(SocketProtocol protocol) {
    if (m_handle == -1)
        m_protocol = protocol;
}

} // namespace vellumite
