// TLS over non-blocking sockets with OpenSSL; nothing outside this file sees OpenSSL.
#include "platform/tls.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>
#include <sys/socket.h>

namespace platform::tls {

namespace {

SSL_CTX* ctxOf(void* ctx) {
    return static_cast<SSL_CTX*>(ctx);
}

// The reason of the newest error OpenSSL queued, without its codes.
std::string openSslReason(const char* otherwise) {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return otherwise;
    if (const char* reason = ERR_reason_error_string(code))
        return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// A socket BIO that sends with MSG_NOSIGNAL: the stock one writes with write(2), and a peer
// that has gone would end the whole program with SIGPIPE.
int bioWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    const ssize_t n = ::send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int bioRead(BIO* bio, char* buffer, int length) {
    BIO_clear_retry_flags(bio);
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    const ssize_t n = ::recv(fd, buffer, static_cast<std::size_t>(length), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    if (n == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF); // so that TLS tells the end from a failure
    return static_cast<int>(n);
}

long bioControl(BIO* bio, int command, long, void*) {
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1; // every write goes straight to the socket
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    default:
        return 0;
    }
}

int bioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* socketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioControl);
        BIO_meth_set_create(m, bioCreate);
        return m;
    }();
    return method;
}

std::string printed(const std::function<void(BIO*)>& print) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    print(bio.get());
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string hexWithColons(const unsigned char* bytes, std::size_t count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += ':';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}

bool isIpAddress(const std::string& name) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, name.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, name.c_str(), address) == 1;
}

int sessionIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

} // namespace

struct Connection::Impl {
    std::shared_ptr<Context> context;
    SSL* ssl = nullptr;
    std::shared_ptr<void> newestSession;

    ~Impl() {
        if (ssl)
            SSL_free(ssl);
    }
};

namespace {

// A client's sessions are caught as the server hands them out: under TLS 1.3 they come after
// the handshake, in the data read later. A copy is kept, since OpenSSL marks a connection's own
// session as not to be resumed when that connection ends without a close notice, and a data
// connection given up must not spoil the next one.
int keepNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* newest = static_cast<std::shared_ptr<void>*>(SSL_get_ex_data(ssl, sessionIndex()));
    SSL_SESSION* copy = newest ? SSL_SESSION_dup(session) : nullptr;
    if (copy)
        *newest = std::shared_ptr<void>(
            copy, [](void* s) { SSL_SESSION_free(static_cast<SSL_SESSION*>(s)); });
    return 0; // the connection's reference stays with it
}

SSL_CTX* newContext(const SSL_METHOD* method) {
    SSL_CTX* ctx = SSL_CTX_new(method);
    if (!ctx)
        throw std::runtime_error("cannot set up TLS: " + openSslReason("out of memory"));
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A stream cut without a close notice reads as its end; the protocol above tells a
    // complete transfer from a cut one.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    return ctx;
}

} // namespace

// ---- contexts --------------------------------------------------------------------------------

Context::Context(void* ctx, bool isClient) : m_ctx(ctx), m_client(isClient) {}

Context::~Context() {
    SSL_CTX_free(ctxOf(m_ctx));
}

std::shared_ptr<Context> Context::client(const std::string& caFile) {
    SSL_CTX* ctx = newContext(TLS_client_method());
    std::shared_ptr<Context> context(new Context(ctx, true));
    // The check is made after the handshake by whoever holds the connection, so that a
    // certificate the user has chosen to trust can still be accepted.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    if (SSL_CTX_set_default_verify_paths(ctx) != 1)
        throw std::runtime_error("cannot read the system's certificate authorities: " +
                                 openSslReason("unknown reason"));
    if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1)
        throw std::runtime_error("cannot read the certificates in " + caFile + ": " +
                                 openSslReason("no certificate found"));
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, keepNewSession);
    return context;
}

std::shared_ptr<Context> Context::server(const std::string& certificateFile,
                                         const std::string& keyFile) {
    SSL_CTX* ctx = newContext(TLS_server_method());
    std::shared_ptr<Context> context(new Context(ctx, false));
    if (SSL_CTX_use_certificate_chain_file(ctx, certificateFile.c_str()) != 1)
        throw std::runtime_error("cannot read the certificate " + certificateFile + ": " +
                                 openSslReason("unknown reason"));
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx) != 1)
        throw std::runtime_error("cannot use the private key " + keyFile + ": " +
                                 openSslReason("unknown reason"));
    static const unsigned char kSessionContext[] = "tls";
    SSL_CTX_set_session_id_context(ctx, kSessionContext, sizeof kSessionContext - 1);
    return context;
}

// ---- connections -----------------------------------------------------------------------------

namespace {

SSL* newSsl(void* ctx, int fd, std::shared_ptr<void>* newestSession) {
    SSL* ssl = SSL_new(ctxOf(ctx));
    BIO* bio = ssl ? BIO_new(socketMethod()) : nullptr;
    if (!bio) {
        SSL_free(ssl);
        throw std::runtime_error("cannot set up TLS: " + openSslReason("out of memory"));
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    SSL_set_bio(ssl, bio, bio);
    SSL_set_ex_data(ssl, sessionIndex(), newestSession);
    return ssl;
}

} // namespace

Connection::Connection(std::shared_ptr<Context> context, int fd, const std::string& peerName,
                       const SavedSession& resume)
    : m_impl(std::make_unique<Impl>()) {
    if (!context->m_client)
        throw std::logic_error("a client connection needs a client context");
    m_impl->context = std::move(context);
    SSL* ssl = m_impl->ssl = newSsl(m_impl->context->m_ctx, fd, &m_impl->newestSession);
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (isIpAddress(peerName)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, peerName.c_str());
    } else {
        SSL_set1_host(ssl, peerName.c_str());
        SSL_set_tlsext_host_name(ssl, peerName.c_str());
    }
    if (resume)
        SSL_set_session(ssl, static_cast<SSL_SESSION*>(resume.m_session.get()));
    SSL_set_connect_state(ssl);
}

Connection::Connection(std::shared_ptr<Context> context, int fd)
    : m_impl(std::make_unique<Impl>()) {
    if (context->m_client)
        throw std::logic_error("a server connection needs a server context");
    m_impl->context = std::move(context);
    m_impl->ssl = newSsl(m_impl->context->m_ctx, fd, &m_impl->newestSession);
    SSL_set_accept_state(m_impl->ssl);
}

Connection::~Connection() = default;

Status Connection::fail(int result) {
    const int error = SSL_get_error(m_impl->ssl, result);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return Status::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Status::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Status::Closed;
    case SSL_ERROR_SYSCALL:
        m_error =
            errno != 0 ? std::strerror(errno) : "the connection ended during the TLS exchange";
        ERR_clear_error();
        return Status::Failed;
    default:
        m_error = openSslReason("TLS protocol error");
        return Status::Failed;
    }
}

Status Connection::handshake() {
    ERR_clear_error();
    errno = 0;
    const int result = SSL_do_handshake(m_impl->ssl);
    return result == 1 ? Status::Done : fail(result);
}

IoResult Connection::read(char* buffer, std::size_t size) {
    ERR_clear_error();
    errno = 0;
    std::size_t n = 0;
    if (SSL_read_ex(m_impl->ssl, buffer, size, &n) == 1)
        return {Status::Done, n};
    return {fail(0), 0};
}

IoResult Connection::write(const char* data, std::size_t size) {
    if (size == 0)
        return {Status::Done, 0};
    ERR_clear_error();
    errno = 0;
    std::size_t n = 0;
    if (SSL_write_ex(m_impl->ssl, data, size, &n) == 1)
        return {Status::Done, n};
    return {fail(0), 0};
}

Status Connection::shutdown() {
    ERR_clear_error();
    errno = 0;
    const int result = SSL_shutdown(m_impl->ssl);
    return result >= 0 ? Status::Done : fail(result);
}

std::size_t Connection::pending() const {
    return static_cast<std::size_t>(SSL_pending(m_impl->ssl));
}

bool Connection::verified() const {
    return SSL_get0_peer_certificate(m_impl->ssl) != nullptr &&
           SSL_get_verify_result(m_impl->ssl) == X509_V_OK;
}

std::string Connection::verifyError() const {
    if (SSL_get0_peer_certificate(m_impl->ssl) == nullptr)
        return "the server sent no certificate";
    const long result = SSL_get_verify_result(m_impl->ssl);
    return result == X509_V_OK ? std::string() : X509_verify_cert_error_string(result);
}

Certificate Connection::peerCertificate() const {
    Certificate out;
    X509* certificate = SSL_get0_peer_certificate(m_impl->ssl);
    if (!certificate)
        return out;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) == 1)
        out.fingerprint = hexWithColons(digest, length);
    const unsigned long nameFlags = XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB;
    out.subject = printed(
        [&](BIO* b) { X509_NAME_print_ex(b, X509_get_subject_name(certificate), 0, nameFlags); });
    out.issuer = printed(
        [&](BIO* b) { X509_NAME_print_ex(b, X509_get_issuer_name(certificate), 0, nameFlags); });
    out.notBefore = printed([&](BIO* b) { ASN1_TIME_print(b, X509_get0_notBefore(certificate)); });
    out.notAfter = printed([&](BIO* b) { ASN1_TIME_print(b, X509_get0_notAfter(certificate)); });
    return out;
}

std::string Connection::version() const {
    return SSL_get_version(m_impl->ssl);
}

std::string Connection::cipher() const {
    const char* name = SSL_get_cipher_name(m_impl->ssl);
    return name ? name : "";
}

bool Connection::resumed() const {
    return SSL_session_reused(m_impl->ssl) == 1;
}

SavedSession Connection::session() const {
    SavedSession saved;
    saved.m_session = m_impl->newestSession;
    return saved;
}

// ---- fingerprints ----------------------------------------------------------------------------

std::string normaliseFingerprint(std::string_view text) {
    std::string hex;
    std::string lowered;
    for (char c : text)
        lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string_view rest = lowered;
    const auto skip = [&](std::string_view word) {
        if (rest.substr(0, word.size()) != word)
            return false;
        rest.remove_prefix(word.size());
        while (!rest.empty() && (rest.front() == ':' || rest.front() == '=' ||
                                 rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        return true;
    };
    // As openssl prints it: "sha256 Fingerprint=AB:CD:..."
    if (skip("sha256") || skip("sha-256"))
        skip("fingerprint");
    for (char c : rest) {
        if (c == ':' || c == ' ' || c == '\t')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        hex += c;
    }
    if (hex.size() != 64)
        return {};
    unsigned char bytes[32];
    for (std::size_t i = 0; i < 32; ++i)
        bytes[i] = static_cast<unsigned char>(std::stoi(hex.substr(i * 2, 2), nullptr, 16));
    return hexWithColons(bytes, sizeof bytes);
}

} // namespace platform::tls
