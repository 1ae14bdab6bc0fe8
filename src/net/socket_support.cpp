// The socket registry and dispatch on the event loop, resolution threads and error texts.
#include "net/socket_support.h"

#include "net/socket.h"
#include "platform/error.h"

#include <arpa/inet.h>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace vellumite {

// The CSocket entry points that only the dispatch here may call.
struct SocketLayerAccess {
    static void readiness(CSocket& socket, short revents) { socket.OnReadiness(revents); }
    static void event(CSocket& socket, int kind, int error) { socket.PostSocketEvent(kind, error); }
    static void resolved(CSocket& socket, std::int32_t requestId, int error,
                         const std::string& address, const std::string& name) {
        socket.PostGetHostEvent(requestId, error, address, name);
    }
};

namespace MSocketSupport {

namespace {

// Module state of the logic thread. The layer is used from that thread only; the resolution
// threads touch nothing here but their own PendingResolve.
struct Registered {
    CSocket* socket;
    platform::EventLoop* loop;
    platform::EventLoop::Id watch;
    std::uint64_t serial; // tells a stale message from one for a later socket on the same fd
};

struct PendingResolve {
    std::mutex mutex;
    platform::EventLoop* loop; // cleared under the mutex when the request is cancelled
};

struct Resolution {
    CSocket* socket;
    std::shared_ptr<PendingResolve> pending;
};

struct ModuleState {
    bool initialised = false;
    std::map<int, Registered> sockets;
    std::uint64_t nextSerial = 1;
    std::map<std::int32_t, Resolution> resolutions;
    std::int32_t lastRequestId = 0;
};

ModuleState& state() {
    thread_local ModuleState s; // one per logic thread: each loop routes its own sockets
    return s;
}

void dispatchReadiness(int handle, std::uint64_t serial, short revents) {
    auto& sockets = state().sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end() || it->second.serial != serial)
        return;
    SocketLayerAccess::readiness(*it->second.socket, revents);
}

void dispatchPostedEvent(int handle, std::uint64_t serial, SocketEvent kind) {
    auto& sockets = state().sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end() || it->second.serial != serial)
        return; // the socket went away while the message waited
    SocketLayerAccess::event(*it->second.socket, kind, 0);
}

struct LookupResult {
    int error = 0;
    std::string address;
    std::string name;
};

LookupResult lookUp(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    LookupResult result;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) {
        result.error = ErrorFromResolver(rc, errno);
        return result;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, ::freeaddrinfo);
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    result.address = text;
    result.name = found->ai_canonname ? found->ai_canonname : host;
    return result;
}

void deliverResolution(std::int32_t requestId, const LookupResult& result) {
    auto& resolutions = state().resolutions;
    auto it = resolutions.find(requestId);
    if (it == resolutions.end())
        return; // cancelled after the thread had posted
    CSocket* socket = it->second.socket;
    resolutions.erase(it);
    SocketLayerAccess::resolved(*socket, requestId, result.error, result.address, result.name);
}

void cancelRequestsOf(const CSocket& socket) {
    auto& resolutions = state().resolutions;
    for (auto it = resolutions.begin(); it != resolutions.end();) {
        if (it->second.socket == &socket) {
            std::lock_guard lock(it->second.pending->mutex);
            it->second.pending->loop = nullptr;
            it = resolutions.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

std::int32_t InitWinsockService() {
    state().initialised = true;
    return kMaxDatagram;
}

bool RegisterSocket(int handle, CSocket& socket) {
    platform::EventLoop& loop = socket.loop();
    if (!loop.isLoopThread())
        throw platform::NumberedError(err::Interrupted, "The operation was canceled.",
                                      "MSocketSupport.RegisterSocket");
    auto& s = state();
    std::uint64_t serial = s.nextSerial++;
    auto watch = loop.watchFd(
        handle, 0, [handle, serial](short revents) { dispatchReadiness(handle, serial, revents); });
    s.sockets[handle] = Registered{&socket, &loop, watch, serial};
    return true;
}

void UnregisterSocket(int handle) {
    auto& sockets = state().sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end())
        return;
    it->second.loop->unwatchFd(it->second.watch);
    cancelRequestsOf(*it->second.socket);
    sockets.erase(it);
}

void SetNotifications(int handle, short pollEvents) {
    auto& sockets = state().sockets;
    if (auto it = sockets.find(handle); it != sockets.end())
        it->second.loop->setFdEvents(it->second.watch, pollEvents);
}

void PostNotification(int handle, SocketEvent kind) {
    auto& sockets = state().sockets;
    auto it = sockets.find(handle);
    if (it == sockets.end())
        return;
    it->second.loop->post(
        [handle, kind, serial = it->second.serial] { dispatchPostedEvent(handle, serial, kind); });
}

std::size_t RegisteredSocketCount() {
    return state().sockets.size();
}

bool IsRegistered(int handle) {
    return state().sockets.contains(handle);
}

std::int32_t ResolveHost(const std::string& host, CSocket& socket) {
    platform::EventLoop& loop = socket.loop();
    if (!loop.isLoopThread())
        throw platform::NumberedError(err::Interrupted, "The operation was canceled.",
                                      "MSocketSupport.ResolveHost");
    cancelRequestsOf(socket);
    auto& s = state();
    s.lastRequestId = s.lastRequestId == INT32_MAX ? 1 : s.lastRequestId + 1;
    const std::int32_t requestId = s.lastRequestId;
    auto pending = std::make_shared<PendingResolve>();
    pending->loop = &loop;
    try {
        std::thread([host, requestId, pending] {
            LookupResult result = lookUp(host);
            std::lock_guard lock(pending->mutex);
            if (pending->loop)
                pending->loop->post([requestId, result] { deliverResolution(requestId, result); });
        }).detach();
    } catch (const std::system_error& e) {
        int number = ErrorFromErrno(e.code().value());
        throw platform::NumberedError(number, GetErrorDescription(number),
                                      "MSocketSupport.ResolveHost");
    }
    s.resolutions[requestId] = Resolution{&socket, std::move(pending)};
    return requestId;
}

void CancelResolve(std::int32_t requestId) {
    auto& resolutions = state().resolutions;
    auto it = resolutions.find(requestId);
    if (it == resolutions.end())
        return;
    std::lock_guard lock(it->second.pending->mutex);
    it->second.pending->loop = nullptr;
    resolutions.erase(it);
}

std::string PeerAddress(int handle) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return text;
}

std::string ReverseLookup(const std::string& dottedAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, dottedAddress.c_str(), &address.sin_addr) != 1)
        return dottedAddress;
    char name[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name,
                      sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
        return dottedAddress;
    return name;
}

std::string GetErrorDescription(int number) {
    static const std::unordered_map<int, const char*> texts = {
        {10004, "Interrupted function call."},
        {10013, "Permission denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Resource temporarily unavailable."},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on nonsocket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Network dropped connection on reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send after socket shutdown."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10067, "Too many processes."},
        {10091, "Network subsystem is unavailable."},
        {10092, "Winsock.dll version out of range."},
        {10093, "Successful WSAStartup not yet performed."},
        {10101, "Graceful shutdown in progress."},
        {10107, "System call failure."},
        {10109, "Class type not found."},
        {11001, "Host not found."},
        {11002, "Nonauthoritative host not found."},
        {11003, "This is a nonrecoverable error."},
        {11004, "Valid name, no data record of requested type."},
        {10600, "The secure connection failed."},
        {10601, "The server's certificate is not trusted."},
    };
    auto it = texts.find(number);
    return it == texts.end() ? "Unknown error." : it->second;
}

int ErrorFromErrno(int posixError) {
    switch (posixError) {
    case EINTR:
        return 10004;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EAGAIN:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
    case EBADF:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case EPIPE:
    case ESHUTDOWN:
        return 10058;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    default:
        return 10107;
    }
}

int ErrorFromResolver(int eaiCode, int posixError) {
    switch (eaiCode) {
    case EAI_NONAME:
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return 11004;
#endif
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return ErrorFromErrno(posixError);
    default:
        return 11003;
    }
}

} // namespace MSocketSupport

} // namespace vellumite
