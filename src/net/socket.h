// CSocket: one TCP connection, listening socket or UDP endpoint, driven by the event loop.
#pragma once

#include "platform/event_loop.h"
#include "platform/tls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vellumite {

// Values of CSocket::State(); the numbers are visible to callers.
enum class SocketState : std::int32_t {
    Closed = 0,
    Open = 1, // never set by this layer
    Listening = 2,
    ConnectionPending = 3, // never set by this layer
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9,
};

enum class SocketProtocol : std::int32_t { TCP = 0, UDP = 1 };

// The type a GetData/PeekData caller asks for, numbered as variant types are.
enum class VarType : std::int32_t {
    Integer = 2,  // 16-bit
    Long = 3,     // 32-bit
    Single = 4,   // float
    Double = 5,   // double
    Currency = 6, // 64-bit integer scaled by 10,000
    Date = 7,     // double, days since 1899-12-30
    String = 8,   // one character per byte
    Boolean = 11, // 16-bit, non-zero is true
    Byte = 17,
    ByteArray = 8209,
};

struct Currency {
    std::int64_t scaled; // value × 10,000
    bool operator==(const Currency&) const = default;
};
struct VbDate {
    double days;
    bool operator==(const VbDate&) const = default;
};

// A value SendData converts to bytes, or GetData converts bytes to. monostate sends nothing.
using SocketData =
    std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, float, double, Currency,
                 VbDate, bool, std::string, std::vector<std::uint8_t>>;

// How StartTls secures a connection.
struct TlsOptions {
    std::shared_ptr<platform::tls::Context> context;
    bool server = false; // take the server's part of the handshake
    // The client's side: the name the certificate must carry (the host as the user gave it),
    // a session of an earlier connection to resume, and the certificates (SHA-256
    // fingerprints, "AB:CD:...") accepted although the trust store does not vouch for them.
    std::string peerName;
    platform::tls::SavedSession resume;
    std::vector<std::string> trustedFingerprints;
};

// Methods return at once; progress arrives through the event members, which are called from
// the loop only, never from inside the method call that caused them. Methods raise
// platform::NumberedError with source "CSocket.<Member>". A handler may destroy the object.
class CSocket {
public:
    explicit CSocket(platform::EventLoop& loop);
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // Replaces the send buffer with `data` (it does not append) and starts sending.
    void SendData(const SocketData& data);
    // Byte strings, copied straight into the send buffer (whose memory is kept for reuse).
    void SendData(std::string_view bytes);
    void SendData(const std::string& bytes) { SendData(std::string_view(bytes)); }
    void SendData(const char* text) { SendData(std::string_view(text)); }
    // Takes bytes from the front of the receive buffer (all, or at most maxLen when > 0) and
    // converts them by `type`. An empty buffer leaves `data` unchanged.
    void GetData(SocketData& data, VarType type = VarType::String, std::int32_t maxLen = 0);
    void PeekData(SocketData& data, VarType type = VarType::String, std::int32_t maxLen = 0);
    // Plain forms for byte strings.
    std::string GetData(std::int32_t maxLen = 0);
    std::string PeekData(std::int32_t maxLen = 0);

    void Listen();
    void Connect(std::optional<std::string> remoteHost = std::nullopt,
                 std::optional<std::int32_t> remotePort = std::nullopt);
    void CloseSocket();
    void Bind(std::optional<std::int32_t> localPort = std::nullopt,
              std::optional<std::string> localIP = std::nullopt);
    // Adopts a connection delivered by OnConnectionRequest.
    void Accept(std::int32_t requestID);
    // Secures the connected socket: bytes received before are dropped, bytes sent from now on
    // wait for the handshake. OnTlsConnect follows once the peer's certificate is accepted;
    // OnError with 10601 (TlsPeerCertificate then tells which) or 10600 when not.
    void StartTls(TlsOptions options);

    SocketState State() const { return m_state; }
    std::int32_t SocketHandle() const { return m_handle; }
    const std::string& RemoteHostIP() const { return m_remoteHostIP; }
    const std::string& LocalIP() const { return m_localIP; }
    // Looked up on first read: a reverse lookup may wait on the network.
    const std::string& LocalHostName() const;
    std::int32_t BytesReceived() const { return m_bytesReceived; }
    std::int32_t RemotePort() const { return m_remotePort; }
    void setRemotePort(std::int32_t port) { m_remotePort = port; }
    std::int32_t LocalPort() const { return m_localPort; }
    void setLocalPort(std::int32_t port) { m_localPort = port; }
    const std::string& RemoteHost() const;
    void setRemoteHost(const std::string& host);
    SocketProtocol Protocol() const { return m_protocol; }
    // Ignored while the object has a socket.
    void setProtocol(SocketProtocol protocol);
    // Creates a socket of the current protocol and registers it; returns its handle.
    int vbSocket();

    platform::EventLoop& loop() const { return m_loop; }

    // After the handshake; the certificate stays readable after a refusal.
    bool TlsActive() const { return m_tlsPhase == TlsPhase::Ready; }
    const platform::tls::Certificate& TlsPeerCertificate() const { return m_tlsPeer; }
    // Whether the trust store vouched for the certificate (rather than a trusted fingerprint).
    bool TlsVerified() const { return m_tlsVerified; }
    std::string TlsVersion() const;
    std::string TlsCipher() const;
    bool TlsResumed() const;
    // The newest session the peer gave on this object's connections, kept after they close.
    platform::tls::SavedSession TlsSession() const;

    // Events, in their interface order.
    std::function<void()> OnClose;
    std::function<void()> OnConnect;
    std::function<void(std::int32_t requestID)> OnConnectionRequest;
    std::function<void(std::int32_t bytesTotal)> OnDataArrival;
    std::function<void(std::int16_t Number, const std::string& Description, std::int32_t Scode,
                       const std::string& Source, const std::string& HelpFile,
                       std::int32_t HelpContext, bool& CancelDisplay)>
        OnError;
    std::function<void()> OnSendComplete;
    std::function<void(std::int32_t bytesSent, std::int32_t bytesRemaining)> OnSendProgress;
    // StartTls's handshake completed and the certificate was accepted.
    std::function<void()> OnTlsConnect;

private:
    friend struct SocketLayerAccess;
    enum ResolvePurpose { ForConnect = 0, ForDatagram = 1 };
    enum class TlsPhase { None, Handshaking, Ready };

    // Readiness from the loop, translated into the notifications below.
    void OnReadiness(short revents);
    void PostSocketEvent(int kind, int error);
    void PostGetHostEvent(std::int32_t requestId, int error, const std::string& address,
                          const std::string& name);

    void ensureSocket();
    void readBufferSizes();
    void updateNotifications();
    void startConnect(const char* source);
    void SendBufferedData();
    // Bytes the network took from `data`, or -1 when it must wait for readiness.
    long sendSome(const char* data, std::size_t size);
    long tlsSend(const char* data, std::size_t size);
    long tlsReceive();
    void continueHandshake();
    void finishHandshake();
    bool trustedFingerprint(const std::string& fingerprint) const;
    void harvestTlsSession();
    // One receive; returns the byte count, 0 at the end of the stream, -1 when nothing was
    // there. Other failures raise with source "CSocket.RecvToBuffer".
    long RecvToBuffer();
    void DestroySocket();
    void finishGracefulClose();
    void handleAccept();
    void handleConnected();
    void handlePeerClose();
    // State 9, the socket destroyed, then OnError; the description defaults to the number's.
    void failWith(int number, const std::string& source, const std::string& description = {});
    void raiseError(int number, const std::string& source, const std::string& description = {});
    void takeBytes(std::string& out, std::int32_t maxLen, bool remove);
    void readLocalAddress();
    void setBroadcast(bool on);
    bool alive(const std::weak_ptr<int>& token) const { return !token.expired(); }

    platform::EventLoop& m_loop;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0); // handlers check it after calls

    SocketProtocol m_protocol = SocketProtocol::TCP;
    SocketState m_state = SocketState::Closed;
    std::int32_t m_bytesReceived = 0;
    mutable std::optional<std::string> m_localHostName; // empty until looked up
    std::string m_localIP;
    std::int32_t m_localPort = 0;
    mutable std::string m_remoteHost;
    mutable bool m_remoteHostNeedsLookup = false; // UDP sender known by address only so far
    std::string m_remoteHostIP;
    std::int32_t m_remotePort = 0;
    std::int32_t m_requestId = 0;
    int m_handle = -1;
    std::string m_sendBuffer;
    std::size_t m_sendOffset = 0; // bytes of m_sendBuffer already taken by the network
    std::string m_recvBuffer;
    std::vector<char> m_scratch; // one receive's worth, kept between receives
    std::int32_t m_sendBufferSize = 0;
    std::int32_t m_recvBufferSize = 0;
    std::int32_t m_maxDatagram = 0;
    bool m_bound = false;
    bool m_broadcast = false;
    bool m_sendCompletePending = false;
    bool m_shutdownPending = false; // CloseSocket waits for the send buffer to drain
    ResolvePurpose m_resolvePurpose = ForConnect;

    std::unique_ptr<platform::tls::Connection> m_tls;
    TlsPhase m_tlsPhase = TlsPhase::None;
    TlsOptions m_tlsOptions;
    platform::tls::Certificate m_tlsPeer;
    platform::tls::SavedSession m_tlsKeptSession; // of a connection since destroyed
    bool m_tlsVerified = false;
    bool m_handshakeWantsWrite = false;
    bool m_tlsReadWantsWrite = false;
    bool m_tlsWriteWantsRead = false;
    bool m_closeNotifyPending = false; // the close notice waits for room to be sent
    // Bytes offered to a TLS write that asked to wait: they must be offered again as they were.
    std::size_t m_tlsCommitted = 0;
};

} // namespace vellumite
