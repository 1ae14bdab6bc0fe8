// TLS connections over a non-blocking socket pair, both ends stepped in turn on one thread,
// with certificates made for the test by the openssl command.
#include "platform/tls.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::tls {
namespace {

struct Certificates {
    testing_support::TempDir folder;
    testing_support::TestCertificates made{folder.path()};
};

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates = std::make_unique<Certificates>(); }
    static void TearDownTestSuite() { certificates.reset(); }
    static const testing_support::TestCertificates& made() { return certificates->made; }

    void SetUp() override {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    }
    void TearDown() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // One server context for the suite's connections: a server's sessions belong to it.
    std::unique_ptr<Connection> serverEnd() {
        if (!serverContext)
            serverContext =
                Context::server(made().server.certificate.string(), made().server.key.string());
        return std::make_unique<Connection>(serverContext, fds[1]);
    }
    std::unique_ptr<Connection> clientFor(const std::string& name, bool withCa = true,
                                          const SavedSession& resume = {}) {
        return std::make_unique<Connection>(Context::client(withCa ? made().caFile().string() : ""),
                                            fds[0], name, resume);
    }
    // Steps both ends until both have finished the handshake; false on a failure.
    static bool handshake(Connection& client, Connection& server) {
        for (int step = 0; step < 100; ++step) {
            const Status c = client.handshake(), s = server.handshake();
            if (c == Status::Done && s == Status::Done)
                return true;
            if (c == Status::Failed || s == Status::Failed)
                return false;
        }
        return false;
    }
    // Writes `data` from one end while the other reads; what arrived.
    std::string transfer(Connection& from, Connection& to, const std::string& data) {
        std::string got;
        std::size_t sent = 0;
        char buffer[65536];
        for (int step = 0; step < 100000 && got.size() < data.size(); ++step) {
            // Written until the socket is full, then read.
            while (sent < data.size()) {
                const IoResult w = from.write(data.data() + sent, data.size() - sent);
                sent += w.bytes;
                writeWaited |= w.status == Status::WantWrite;
                if (w.status == Status::Failed)
                    ADD_FAILURE() << "write failed: " << from.error();
                if (w.status != Status::Done)
                    break;
            }
            const IoResult r = to.read(buffer, sizeof buffer);
            if (r.status == Status::Failed || r.status == Status::Closed) {
                ADD_FAILURE() << "read ended: " << to.error();
                break;
            }
            got.append(buffer, r.bytes);
        }
        return got;
    }

    static std::unique_ptr<Certificates> certificates;
    std::shared_ptr<Context> serverContext;
    int fds[2] = {-1, -1};
    bool writeWaited = false;
};

std::unique_ptr<Certificates> TlsTest::certificates;

// The certificate checks themselves are tested with CSocket, which holds the verdict.
TEST_F(TlsTest, DataGoesThroughAndTheStreamEndsWithOrWithoutACloseNotice) {
    auto client = clientFor("127.0.0.1", /*withCa=*/false);
    auto server = serverEnd();
    ASSERT_TRUE(handshake(*client, *server)) << "the handshake ends whoever vouches";
    EXPECT_FALSE(client->verified());
    EXPECT_EQ(client->verifyError(), "unable to get local issuer certificate");
    EXPECT_EQ(client->peerCertificate().fingerprint, made().server.fingerprint);
    EXPECT_EQ(client->peerCertificate().issuer, "CN=Vellumite Test CA");
    EXPECT_EQ(client->version(), "TLSv1.3");

    std::string up(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < up.size(); ++i)
        up[i] = static_cast<char>(i * 31 + i / 4099);
    EXPECT_TRUE(transfer(*client, *server, up) == up);
    EXPECT_TRUE(writeWaited) << "more than the socket holds, so writes had to wait";

    char buffer[16];
    EXPECT_EQ(client->read(buffer, sizeof buffer).status, Status::WantRead);
    // A peer gone without its close notice reads as the end of the stream too: the protocol
    // above judges whether it came too early.
    ::shutdown(fds[1], SHUT_WR);
    EXPECT_EQ(client->read(buffer, sizeof buffer).status, Status::Closed) << client->error();
    EXPECT_EQ(client->shutdown(), Status::Done);
    EXPECT_EQ(server->read(buffer, sizeof buffer).status, Status::Closed);
}

TEST_F(TlsTest, TheServersSessionIsResumedByTheNextConnection) {
    SavedSession saved;
    for (const bool resume : {false, true, false}) {
        SCOPED_TRACE(resume);
        TearDown();
        SetUp();
        auto client = clientFor("127.0.0.1", true, resume ? saved : SavedSession());
        auto server = serverEnd();
        ASSERT_TRUE(handshake(*client, *server));
        // Under TLS 1.3 the sessions come after the handshake, with the first data read.
        EXPECT_EQ(transfer(*server, *client, "220 ready\r\n"), "220 ready\r\n");
        EXPECT_EQ(client->resumed(), resume) << server->resumed();
        EXPECT_TRUE(client->verified()) << "a resumed session keeps its check";
        ASSERT_TRUE(client->session());
        EXPECT_FALSE(client->session() == saved) << "each connection brings its own";
        if (!resume)
            saved = client->session();
    }
}

TEST_F(TlsTest, UnusableFilesAreRefusedWithTheirReason) {
    const auto refusal = [](const std::function<void()>& make) -> std::string {
        try {
            make();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "nothing raised";
    };
    EXPECT_EQ(refusal([] {
                  Context::client("/nonexistent/ca.pem");
              }).rfind("cannot read the certificates in /nonexistent/ca.pem: ", 0),
              0u);
    const std::string mismatched = refusal([] {
        Context::server(made().server.certificate.string(), made().replacement.key.string());
    });
    EXPECT_EQ(mismatched.rfind("cannot use the private key " + made().replacement.key.string(), 0),
              0u)
        << mismatched;
}

TEST(NormaliseFingerprint, TakesTheUsualSpellingsAndNothingElse) {
    const std::string canonical = "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:"
                                  "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF";
    std::string bare;
    for (char c : canonical)
        if (c != ':')
            bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::pair<std::string, std::string> cases[] = {
        {canonical, canonical},
        {bare, canonical},
        {"SHA256:" + bare, canonical},
        {"sha256 Fingerprint=" + canonical, canonical}, // the line openssl prints
        {"sha-256 " + bare.substr(0, 32) + " " + bare.substr(32), canonical},
        {bare.substr(2), ""},                                       // too short
        {bare + "00", ""},                                          // too long
        {bare.substr(1) + "g", ""},                                 // not hex
        {"SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU", ""}, // base64, not hex
        {"", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normaliseFingerprint(text), expected) << text;
}

} // namespace
} // namespace platform::tls
