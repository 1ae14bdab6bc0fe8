// The socket layer's shared services: start-up, the registry that routes readiness to its CSocket,
// name resolution off the logic thread, and the error numbers and texts callers see.
#pragma once

#include "platform/event_loop.h"

#include <cstdint>
#include <string>

namespace vellumite {

class CSocket;

namespace MSocketSupport {

// Notification kinds, numbered as callers have always seen them.
enum SocketEvent : int {
    FD_READ = 1,
    FD_WRITE = 2,
    FD_ACCEPT = 8,
    FD_CONNECT = 16,
    FD_CLOSE = 32,
};

// The largest UDP payload over IPv4; it stands for the figure a sockets library reports.
inline constexpr std::int32_t kMaxDatagram = 65507;

// Error numbers the layer uses by name.
namespace err {
inline constexpr int Interrupted = 10004;
inline constexpr int InvalidArgument = 10022;
inline constexpr int WouldBlock = 10035;
inline constexpr int DestinationRequired = 10039;
inline constexpr int AddressNotAvailable = 10049;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int SystemCallFailure = 10107;
inline constexpr int HostNotFound = 11001;
inline constexpr int WrongProtocolOrState = 40006;
// TLS: the secure connection could not be set up or broke down; the peer's certificate is not
// one to trust. Their descriptions carry the details.
inline constexpr int TlsFailed = 10600;
inline constexpr int TlsUntrusted = 10601;
} // namespace err

// Counts the sockets layer users; returns the largest datagram size.
std::int32_t InitWinsockService();

// Routes readiness of `handle` to `socket` on the socket's loop. Raises 10004 "The operation was
// canceled." (source "MSocketSupport.RegisterSocket") when called off the loop's thread.
bool RegisterSocket(int handle, CSocket& socket);
void UnregisterSocket(int handle);
// Which readiness (POLLIN, POLLOUT) the registered socket waits for now.
void SetNotifications(int handle, short pollEvents);
// Queues a notification for `handle` (FD_WRITE, or FD_READ for bytes TLS holds that readiness
// will not announce), delivered after the current call has returned.
void PostNotification(int handle, SocketEvent kind);
std::size_t RegisteredSocketCount();
bool IsRegistered(int handle);

// Starts resolving `host` (IPv4) on a worker thread; the result comes back to `socket` on its loop
// as PostGetHostEvent. Returns the request id (never 0). At most one request per socket is
// pending: starting one, or cancelling, makes any earlier result for that socket void.
std::int32_t ResolveHost(const std::string& host, CSocket& socket);
void CancelResolve(std::int32_t requestId);

// The dotted address of the peer of a connected socket handle; empty when there is none.
std::string PeerAddress(int handle);

// Name for a dotted address by reverse lookup, or the dotted address itself when there is none.
std::string ReverseLookup(const std::string& dottedAddress);

std::string GetErrorDescription(int number);
// An errno value mapped onto the numbers above (10107 for one without a counterpart).
int ErrorFromErrno(int posixError);
// A getaddrinfo result code mapped onto 11001-11004.
int ErrorFromResolver(int eaiCode, int posixError);

} // namespace MSocketSupport

} // namespace vellumite
