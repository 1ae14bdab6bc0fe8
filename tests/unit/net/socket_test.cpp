// CSocket on 127.0.0.1 against plain blocking peers and against other CSockets.
#include "net/socket.h"
#include "support/ftp_servers.h"
#include "support/raises.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vellumite {
namespace {

using namespace std::chrono_literals;

// A blocking listening socket on 127.0.0.1, port chosen by the system.
struct RawListener {
    int port = 0;
    int fd = testing_support::loopbackSocket(port, true);
    int accept() const { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
    // Whether a connection is waiting, without waiting for one.
    bool pending() const {
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        const int peer = accept();
        ::close(peer);
        return peer >= 0;
    }
    ~RawListener() { ::close(fd); }
};

void writeAll(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
}

// Reads what is there without blocking; false once the peer has closed.
bool readAvailable(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return false;
        if (n < 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

// Records the events of one socket in order, a run of arrivals as one "data".
struct Recorder {
    std::vector<std::string> events;
    std::string received;
    std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    std::string error; // "number description"

    void attach(CSocket& s, bool takeData = true) {
        s.OnClose = [this] { events.push_back("close"); };
        s.OnConnect = [this] { events.push_back("connect"); };
        s.OnDataArrival = [this, &s, takeData](std::int32_t) {
            if (events.empty() || events.back() != "data")
                events.push_back("data");
            if (takeData)
                received += s.GetData();
        };
        s.OnError = [this](std::int16_t n, const std::string& d, std::int32_t, const std::string&,
                           const std::string&, std::int32_t, bool&) {
            events.push_back("error");
            error = std::to_string(n) + " " + d;
        };
        s.OnSendComplete = [this] { events.push_back("sendcomplete"); };
        s.OnTlsConnect = [this] { events.push_back("tls"); };
        s.OnSendProgress = [this](std::int32_t sent, std::int32_t left) {
            progress.emplace_back(sent, left);
        };
    }
    int count(const std::string& e) const {
        return static_cast<int>(std::count(events.begin(), events.end(), e));
    }
    bool saw(const std::string& e) const { return count(e) > 0; }
    int sendCompletes() const { return count("sendcomplete"); }
};

// A client CSocket with its events recorded, and a plain listener for it to connect to.
class SocketTest : public ::testing::Test {
protected:
    void SetUp() override { r.attach(client); }
    void TearDown() override { ::close(peer); }

    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        return loop.runUntil(done, limit);
    }
    void settle(std::chrono::milliseconds span) {
        loop.runUntil([] { return false; }, span);
    }
    // Connects the client to the listener; true once OnConnect has come, with `peer` set.
    bool connectPeer() {
        client.Connect("127.0.0.1", listener.port);
        peer = listener.accept();
        return pumpUntil([&] { return r.saw("connect"); });
    }
    // Reads `peer` while the loop runs, until `done` or the end of the stream; false after 20 s.
    bool readPumping(
        std::string& got, const std::function<bool()>& done = [] { return false; }) {
        for (const auto deadline = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < deadline; loop.pumpOnce(5ms))
            if (!readAvailable(peer, got) || done())
                return true;
        return false;
    }

    platform::EventLoop loop;
    RawListener listener;
    CSocket client{loop};
    Recorder r;
    int peer = -1;
};

TEST_F(SocketTest, PeerThatSendsAndClosesAtOnceDeliversAllDataBeforeClose) {
    client.Connect("127.0.0.1", listener.port);
    EXPECT_EQ(client.State(), SocketState::Connecting);
    peer = listener.accept();
    const std::string payload = pattern(3 * 1024 * 1024);
    writeAll(peer, payload);
    ::close(peer);

    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); }));
    EXPECT_TRUE(r.received == payload);
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "data", "close"}));
    EXPECT_EQ(client.State(), SocketState::Closed);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST_F(SocketTest, LargeSendToSlowReaderReportsProgressAndCompletesOnceAfterLastByte) {
    ASSERT_TRUE(connectPeer());
    const std::string payload = pattern(16 * 1024 * 1024);
    client.SendData(payload);
    EXPECT_EQ(r.sendCompletes(), 0) << "never inside the call that took the data";
    ASSERT_FALSE(r.progress.empty());
    EXPECT_GT(r.progress.front().second, 0) << "the network takes only part at first";

    std::string got;
    ASSERT_TRUE(readPumping(got, [&] { return r.sendCompletes() > 0 && got == payload; }));
    settle(50ms);
    EXPECT_EQ(r.sendCompletes(), 1);
    EXPECT_TRUE(got == payload);
    std::int64_t total = 0;
    for (auto [sent, left] : r.progress)
        total += sent;
    EXPECT_EQ(total, static_cast<std::int64_t>(payload.size()));
    EXPECT_EQ(r.progress.back().second, 0);
    EXPECT_EQ(r.events.back(), "sendcomplete");
}

TEST_F(SocketTest, SendDataAgainBeforeCompletionReplacesTheUnsentRest) {
    ASSERT_TRUE(connectPeer());
    const std::string first(32 * 1024 * 1024, 'a');
    client.SendData(first);
    ASSERT_GT(r.progress.back().second, 0);
    client.SendData(std::string("XYZ"));
    client.CloseSocket(); // the sending side closes once the new data is out

    std::string got;
    ASSERT_TRUE(readPumping(got));
    ASSERT_GE(got.size(), 3u);
    EXPECT_LT(got.size(), first.size());
    EXPECT_EQ(got.find_first_not_of('a'), got.size() - 3);
    EXPECT_EQ(got.substr(got.size() - 3), "XYZ");
    EXPECT_LE(r.sendCompletes(), 1);
}

TEST_F(SocketTest, ValuesGoOutAndComeBackByTypeInMachineOrder) {
    r.attach(client, /*takeData=*/false);
    ASSERT_TRUE(connectPeer());
    SocketData untouched = std::string("unchanged");
    client.GetData(untouched, VarType::Long);
    EXPECT_EQ(std::get<std::string>(untouched), "unchanged") << "nothing to take";

    // A type, a value of it, and its bytes on the wire.
    const std::tuple<VarType, SocketData, std::string> cases[] = {
        {VarType::Byte, std::uint8_t{7}, "\x07"},
        {VarType::Integer, std::int16_t{0x0201}, "\x01\x02"},
        {VarType::Long, std::int32_t{0x04030201}, "\x01\x02\x03\x04"},
        {VarType::Single, 1.5f, std::string("\0\0\xc0\x3f", 4)},
        {VarType::Double, 1.5, std::string("\0\0\0\0\0\0\xf8\x3f", 8)},
        {VarType::Currency, Currency{0x0807060504030201}, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {VarType::Date, VbDate{1.5}, std::string("\0\0\0\0\0\0\xf8\x3f", 8)},
        {VarType::Boolean, true, "\xff\xff"},
        {VarType::String, std::string("text"), "text"},
        {VarType::ByteArray, std::vector<std::uint8_t>{0, 1}, std::string("\0\x01", 2)},
    };
    for (const auto& [type, value, wire] : cases) {
        SCOPED_TRACE(wire);
        r.events.clear();
        client.SendData(value);
        ASSERT_TRUE(pumpUntil([&] { return r.sendCompletes() == 1; }));
        std::string sent;
        readAvailable(peer, sent);
        EXPECT_EQ(sent, wire);

        writeAll(peer, wire);
        const auto size = static_cast<std::int32_t>(wire.size());
        ASSERT_TRUE(pumpUntil([&] { return client.BytesReceived() >= size; }));
        SocketData peeked, taken;
        client.PeekData(peeked, type);
        EXPECT_EQ(peeked, value);
        EXPECT_EQ(client.BytesReceived(), size);
        client.GetData(taken, type);
        EXPECT_EQ(taken, value);
        EXPECT_EQ(client.BytesReceived(), 0);
    }

    writeAll(peer, "hello world");
    ASSERT_TRUE(pumpUntil([&] { return client.BytesReceived() >= 11; }));
    EXPECT_EQ(client.GetData(5), "hello");
    EXPECT_EQ(client.PeekData(100), " world");
    EXPECT_EQ(client.GetData(), " world");
    EXPECT_EQ(client.GetData(), "");
}

TEST_F(SocketTest, ClosedOrSupersededConnectsLeaveNoTrace) {
    RawListener first, second;
    client.Connect("localhost", first.port);
    EXPECT_EQ(client.State(), SocketState::ResolvingHost);
    client.CloseSocket();
    client.Connect("127.0.0.1", listener.port);
    ASSERT_EQ(client.State(), SocketState::Connecting);
    client.CloseSocket();
    EXPECT_EQ(client.State(), SocketState::Closed);
    EXPECT_EQ(client.SocketHandle(), -1);
    settle(300ms);
    EXPECT_TRUE(r.events.empty());
    EXPECT_FALSE(first.pending()) << "the closed lookup's result is not acted on";

    client.Connect("localhost", first.port);
    client.Connect("localhost", second.port); // supersedes the first lookup
    ASSERT_TRUE(pumpUntil([&] { return r.saw("connect") || r.saw("error"); }));
    settle(200ms);
    EXPECT_EQ(r.events, std::vector<std::string>{"connect"});
    EXPECT_EQ(client.RemotePort(), second.port);
    EXPECT_EQ(client.RemoteHostIP(), "127.0.0.1");
    EXPECT_FALSE(first.pending());
    EXPECT_TRUE(second.pending());
}

TEST_F(SocketTest, ConnectErrorsLeaveTheObjectReusableAndAResetDestroysIt) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"no-such-host.invalid", 21, "11001 Host not found."},
        {"127.0.0.1", testing_support::freeLoopbackPort(), "10061 Connection refused."},
    };
    for (const auto& [host, port, error] : cases) {
        r.events.clear();
        client.Connect(host, port);
        ASSERT_TRUE(pumpUntil([&] { return r.saw("error"); }, 15s)) << host;
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(client.State(), SocketState::Error);
        EXPECT_EQ(client.SocketHandle(), -1);
    }
    ASSERT_TRUE(connectPeer());
    EXPECT_EQ(client.State(), SocketState::Connected);

    r.events.clear();
    client.SendData(std::string("unread"));
    ASSERT_TRUE(pumpUntil([&] { return r.sendCompletes() == 1; }));
    linger hard{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(peer); // unread data plus linger 0: a reset
    peer = -1;
    ASSERT_TRUE(pumpUntil([&] { return r.saw("error") || r.saw("close"); }));
    EXPECT_EQ(r.error, "10054 Connection reset by peer.");
    EXPECT_EQ(client.State(), SocketState::Error);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST_F(SocketTest, ListenAcceptAndConnectionsNobodyAccepts) {
    CSocket server(loop), accepted(loop);
    Recorder ra;
    ra.attach(accepted);
    int requests = 0;
    server.OnConnectionRequest = [&](std::int32_t id) {
        if (++requests == 1)
            accepted.Accept(id); // the second request is left alone
    };
    server.Bind(0, "127.0.0.1");
    server.Listen();
    ASSERT_EQ(server.State(), SocketState::Listening);

    client.Connect("127.0.0.1", server.LocalPort());
    ASSERT_TRUE(pumpUntil([&] { return r.saw("connect") && requests == 1; }));
    EXPECT_EQ(accepted.State(), SocketState::Connected);
    EXPECT_EQ(accepted.RemotePort(), client.LocalPort());
    client.SendData(std::string("ping"));
    ASSERT_TRUE(pumpUntil([&] { return ra.received == "ping"; }));
    accepted.SendData(std::string("pong"));
    ASSERT_TRUE(pumpUntil([&] { return r.received == "pong"; }));

    client.CloseSocket();
    EXPECT_EQ(client.State(), SocketState::Closing);
    ASSERT_TRUE(pumpUntil([&] { return ra.saw("close"); }));
    EXPECT_EQ(accepted.State(), SocketState::Closed);
    accepted.CloseSocket(); // nothing left to close
    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); }));
    EXPECT_EQ(client.State(), SocketState::Closed);

    r.events.clear();
    client.Connect("127.0.0.1", server.LocalPort());
    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); })) << "closed when nobody accepts";
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(server.State(), SocketState::Listening);
}

TEST_F(SocketTest, HandlerMayDestroyItsSocket) {
    auto doomed = std::make_unique<CSocket>(loop);
    bool closed = false;
    doomed->OnDataArrival = [&](std::int32_t) { doomed.reset(); };
    doomed->OnClose = [&] { closed = true; };
    doomed->Connect("127.0.0.1", listener.port);
    peer = listener.accept();
    writeAll(peer, "bye");
    ::close(peer);
    peer = -1;
    ASSERT_TRUE(pumpUntil([&] { return doomed == nullptr; }));
    settle(20ms);
    EXPECT_FALSE(closed);
}

TEST_F(SocketTest, MethodErrorsCarryTheirNumbersAndSources) {
    CSocket listening(loop), sameport(loop);
    listening.Bind(0, "127.0.0.1");
    listening.Listen();
    sameport.setLocalPort(listening.LocalPort());
    using testing_support::raised;
    EXPECT_EQ(raised([&] { client.SendData(std::string("x")); }),
              "40006 Wrong protocol or connection state for the requested transaction or request. "
              "[CSocket.SendData]");
    EXPECT_EQ(raised([&] { client.Connect(); }),
              "10049 Cannot assign requested address. [CSocket.Connect]");
    EXPECT_EQ(raised([&] { client.Bind(0, "300.1.1.1"); }),
              "10049 Cannot assign requested address. [CSocket.Bind]");
    EXPECT_EQ(raised([&] { sameport.Listen(); }), "10048 Address already in use. [CSocket.Listen]");
    EXPECT_EQ(sameport.State(), SocketState::Error);
}

TEST_F(SocketTest, DatagramsCarryTheSenderAndTheBroadcastRuleFollowsTheAddress) {
    CSocket receiver(loop), sender(loop);
    Recorder rr, rs;
    rr.attach(receiver);
    rs.attach(sender);
    receiver.setProtocol(SocketProtocol::UDP);
    sender.setProtocol(SocketProtocol::UDP);
    receiver.Bind(0, "127.0.0.1");
    sender.Bind(0, "127.0.0.1");
    auto option = [&](int name) {
        int value = -1;
        socklen_t len = sizeof value;
        ::getsockopt(sender.SocketHandle(), SOL_SOCKET, name, &value, &len);
        return value;
    };
    sender.setProtocol(SocketProtocol::TCP); // ignored while the socket exists
    EXPECT_EQ(sender.Protocol(), SocketProtocol::UDP);
    EXPECT_EQ(option(SO_TYPE), SOCK_DGRAM);

    sender.setRemotePort(receiver.LocalPort());
    sender.setRemoteHost("localhost"); // a name: resolved before the datagram goes
    sender.SendData(std::string("first"));
    ASSERT_TRUE(pumpUntil([&] { return rr.received == "first"; }));
    EXPECT_EQ(receiver.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(receiver.RemotePort(), sender.LocalPort());
    ASSERT_TRUE(pumpUntil([&] { return rs.sendCompletes() == 1; }));

    EXPECT_EQ(option(SO_BROADCAST), 0);
    sender.setRemoteHost("127.255.255.255");
    EXPECT_EQ(option(SO_BROADCAST), 1);
    sender.setRemoteHost("127.0.0.1");
    EXPECT_EQ(option(SO_BROADCAST), 0);

    // The receiver answers whoever sent last.
    receiver.SendData(std::string("reply"));
    ASSERT_TRUE(pumpUntil([&] { return rs.received == "reply"; }));
    sender.CloseSocket();
    sender.setProtocol(SocketProtocol::TCP);
    EXPECT_EQ(sender.Protocol(), SocketProtocol::TCP);
}

// ---- TLS -------------------------------------------------------------------------------------

// A client CSocket and a server CSocket on one loop, each securing its side of the connection
// the listener accepted.
class TlsSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        r.attach(client);
        serverEvents.attach(server);
        listening.OnConnectionRequest = [this](std::int32_t id) {
            server.Accept(id);
            TlsOptions options;
            options.context = platform::tls::Context::server(made.server.certificate.string(),
                                                             made.server.key.string());
            options.server = true;
            server.StartTls(options);
        };
        listening.Bind(0, "127.0.0.1");
        listening.Listen();
    }
    TlsOptions clientOptions(const std::string& caFile, std::vector<std::string> trusted = {},
                             const std::string& name = "127.0.0.1") {
        TlsOptions options;
        options.context = platform::tls::Context::client(caFile);
        options.peerName = name;
        options.trustedFingerprints = std::move(trusted);
        return options;
    }
    // Connects and starts TLS with `options` as soon as the connection stands.
    void connectSecured(TlsOptions options) {
        client.OnConnect = [this, options] {
            r.events.push_back("connect");
            client.StartTls(options);
        };
        client.Connect("127.0.0.1", listening.LocalPort());
    }
    bool pumpUntil(const std::function<bool()>& done) { return loop.runUntil(done, 10s); }

    testing_support::TempDir folder;
    testing_support::TestCertificates made{folder.path()};
    platform::EventLoop loop;
    CSocket listening{loop}, server{loop}, client{loop};
    Recorder r, serverEvents;
};

TEST_F(TlsSocketTest, BytesSentDuringTheHandshakeWaitAndTheCloseNoticeEndsTheStream) {
    const std::string up = pattern(2 * 1024 * 1024 + 3), down = pattern(700 * 1024);
    client.OnConnect = [&] {
        r.events.push_back("connect");
        client.StartTls(clientOptions(made.caFile().string()));
        client.SendData(up); // before the handshake: it waits for it
    };
    client.Connect("127.0.0.1", listening.LocalPort());
    ASSERT_TRUE(pumpUntil([&] { return serverEvents.received.size() >= up.size(); }));
    EXPECT_TRUE(serverEvents.received == up);
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "tls", "sendcomplete"}));
    EXPECT_TRUE(client.TlsActive() && client.TlsVerified());

    server.SendData(down);
    server.CloseSocket(); // after the data: the close notice follows it
    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); }));
    EXPECT_TRUE(r.received == down);
    EXPECT_EQ(r.events.back(), "close") << r.error;
    ASSERT_TRUE(pumpUntil([&] { return serverEvents.saw("close"); }));
    EXPECT_FALSE(serverEvents.saw("error")) << serverEvents.error;
}

TEST_F(TlsSocketTest, OnlyACertificateTheTrustStoreOrTheUserVouchesForIsAccepted) {
    const std::string ca = made.caFile().string(), fingerprint = made.server.fingerprint;
    struct Case {
        std::string caFile;
        std::vector<std::string> trusted;
        const char* name;
        bool accepted, verified;
    };
    const Case cases[] = {
        {ca, {}, "127.0.0.1", true, true},
        {"", {fingerprint}, "127.0.0.1", true, false},
        {"", {made.replacement.fingerprint}, "127.0.0.1", false, false},
        {"", {}, "127.0.0.1", false, false},
        {ca, {}, "localhost.example", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.caFile.empty() ? "" : " with the CA"));
        r = Recorder();
        r.attach(client);
        connectSecured(clientOptions(c.caFile, c.trusted, c.name));
        ASSERT_TRUE(pumpUntil([&] { return r.saw("tls") || r.saw("error"); }));
        EXPECT_EQ(r.saw("tls"), c.accepted) << r.error;
        EXPECT_EQ(client.TlsVerified(), c.verified);
        EXPECT_EQ(client.TlsPeerCertificate().fingerprint, fingerprint) << "kept after a refusal";
        const bool refusal =
            r.error.rfind("10601 The certificate of " + std::string(c.name) + " is not trusted (",
                          0) == 0 &&
            r.error.find("Its SHA-256 fingerprint is " + fingerprint + ".") != std::string::npos;
        EXPECT_EQ(refusal, !c.accepted) << r.error;
        while (client.SocketHandle() != -1)
            client.CloseSocket();
        while (server.SocketHandle() != -1)
            server.CloseSocket();
    }
}

} // namespace
} // namespace vellumite
