// TLS over a non-blocking socket: contexts with the system's trust store, connections whose
// every step reports whether it must wait to read or to write, certificates and their
// fingerprints, and sessions kept for resumption on later connections.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform::tls {

// The outcome of one step on a non-blocking connection. WantRead and WantWrite ask for the
// same step again once the socket is readable or writable.
enum class Status { Done, WantRead, WantWrite, Closed, Failed };

struct IoResult {
    Status status = Status::Failed;
    std::size_t bytes = 0;
};

// What a peer's certificate says of itself; all empty when it sent none.
struct Certificate {
    std::string fingerprint; // SHA-256 of the DER form, "AB:CD:..."
    std::string subject;
    std::string issuer;
    std::string notBefore, notAfter; // as the certificate gives them, in GMT
};

// A session of an earlier connection, offered to a later one to resume.
class SavedSession {
public:
    SavedSession() = default;
    explicit operator bool() const { return m_session != nullptr; }
    // The same session, not merely an equal one.
    bool operator==(const SavedSession&) const = default;

private:
    friend class Connection;
    std::shared_ptr<void> m_session; // an SSL_SESSION
};

// Settings shared by many connections. Failing to make one (an unreadable CA file, a key that
// does not match its certificate) raises std::runtime_error with the reason.
class Context {
public:
    // Trusts the system's certificate authorities and, when `caFile` is not empty, the
    // certificates in that PEM file as well.
    static std::shared_ptr<Context> client(const std::string& caFile = {});
    // Presents the certificate (PEM, with its chain) and its private key.
    static std::shared_ptr<Context> server(const std::string& certificateFile,
                                           const std::string& keyFile);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

private:
    friend class Connection;
    explicit Context(void* ctx, bool isClient);
    void* m_ctx; // SSL_CTX
    bool m_client;
};

// One TLS connection over a connected socket the caller owns and keeps open. Every step
// returns at once.
class Connection {
public:
    // Client side: the certificate is checked against `peerName` (a host name or an IP
    // address) as well as the trust store; `resume`, when set, is offered to the server.
    Connection(std::shared_ptr<Context> context, int fd, const std::string& peerName,
               const SavedSession& resume = {});
    // Server side.
    Connection(std::shared_ptr<Context> context, int fd);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Status handshake();
    // Closed: the peer ended the stream (with or without its close notice).
    IoResult read(char* buffer, std::size_t size);
    // Done with the bytes taken, which may be fewer than offered. After WantRead or
    // WantWrite the same bytes must be offered again.
    IoResult write(const char* data, std::size_t size);
    // Sends the close notice; Done once it has gone.
    Status shutdown();
    // Decrypted bytes held inside, which the socket's readiness will not announce.
    std::size_t pending() const;

    // After the handshake: whether the trust store vouches for the certificate and it names
    // the peer; if not, why.
    bool verified() const;
    std::string verifyError() const;
    Certificate peerCertificate() const;
    std::string version() const; // "TLSv1.3"
    std::string cipher() const;  // "TLS_AES_256_GCM_SHA384"
    bool resumed() const;
    // The newest session the server gave, for later connections to resume.
    SavedSession session() const;
    // The reason of the last Failed step.
    const std::string& error() const { return m_error; }

private:
    struct Impl;
    Status fail(int result);
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

// "AB:CD:..." for a SHA-256 fingerprint written in any usual way (hex digits in either case,
// with or without colons or spaces, after "sha256" or openssl's "sha256 Fingerprint="); empty
// when it is not one.
std::string normaliseFingerprint(std::string_view text);

} // namespace platform::tls
