// TLS connections over a non-blocking socket pair, both ends stepped in turn on one thread,
// with certificates made for the test by the openssl command. The certificate checks and the
// data flow are tested through CSocket, which holds the verdict.
#include "platform/tls.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::tls {
namespace {

class TlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    }
    void TearDown() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // A new pair of ends on a new socket pair; the server's context is kept, as its sessions
    // belong to it.
    void connect(const SavedSession& resume = {}) {
        TearDown();
        SetUp();
        client = std::make_unique<Connection>(Context::client(made.caFile().string()), fds[0],
                                              "127.0.0.1", resume);
        server = std::make_unique<Connection>(serverContext, fds[1]);
        for (int step = 0; step < 100; ++step) {
            const Status c = client->handshake(), s = server->handshake(); // each a step
            if (c == Status::Done && s == Status::Done)
                return;
        }
        FAIL() << "no handshake: " << client->error() << server->error();
    }
    // One short message from the server; what the client read.
    std::string serverSays(const std::string& text) {
        EXPECT_EQ(server->write(text.data(), text.size()).bytes, text.size());
        char buffer[256];
        const IoResult r = client->read(buffer, sizeof buffer);
        return std::string(buffer, r.bytes);
    }

    testing_support::TempDir folder;
    testing_support::TestCertificates made{folder.path()};
    std::shared_ptr<Context> serverContext =
        Context::server(made.server.certificate.string(), made.server.key.string());
    int fds[2] = {-1, -1};
    std::unique_ptr<Connection> client, server;
};

TEST_F(TlsTest, TheStreamEndsWithOrWithoutACloseNotice) {
    connect();
    EXPECT_EQ(client->peerCertificate().fingerprint, made.server.fingerprint) << "as openssl's";
    EXPECT_EQ(serverSays("220 ready\r\n"), "220 ready\r\n");
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
        connect(resume ? saved : SavedSession()); // each ended without a close notice
        // Under TLS 1.3 the sessions come after the handshake, with the first data read.
        EXPECT_EQ(serverSays("220 ready\r\n"), "220 ready\r\n");
        EXPECT_EQ(client->resumed(), resume);
        EXPECT_TRUE(client->verified()) << "a resumed session keeps its check";
        ASSERT_TRUE(client->session());
        EXPECT_FALSE(client->session() == saved) << "each connection brings its own";
        if (!resume)
            saved = client->session();
    }
}

TEST(NormaliseFingerprint, TakesTheUsualSpellingsAndNothingElse) {
    const std::string canonical = "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:"
                                  "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF";
    const std::string bare = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const std::pair<std::string, std::string> cases[] = {
        {canonical, canonical},
        {bare, canonical},
        {"sha256 Fingerprint=" + canonical, canonical},             // the line openssl prints
        {bare.substr(2), ""},                                       // too short
        {bare.substr(1) + "g", ""},                                 // not hex
        {"SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU", ""}, // base64, not hex
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normaliseFingerprint(text), expected) << text;
}

} // namespace
} // namespace platform::tls
