// CSocket on 127.0.0.1 against plain blocking peers and against other CSockets.
#include "net/numbered_error.h"
#include "net/socket.h"
#include "net/socket_support.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vellumite {
namespace {

using namespace std::chrono_literals;

// A blocking listening socket on 127.0.0.1, port chosen by the system.
struct RawListener {
    int fd = -1;
    int port = 0;
    explicit RawListener(bool listening = true) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        if (listening) {
            EXPECT_EQ(::listen(fd, 8), 0);
        }
    }
    int accept() const { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
    ~RawListener() { ::close(fd); }
};

void writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
}

// Reads what is there without blocking.
std::string readAvailable(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

// Records the events of one socket in order.
struct Recorder {
    std::vector<std::string> events;
    std::string received;
    int sendCompletes = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    std::int16_t errorNumber = 0;
    std::string errorText, errorSource;
    std::vector<std::int32_t> requests;

    void attach(CSocket& s, bool takeData = true) {
        s.OnClose = [this] { events.push_back("close"); };
        s.OnConnect = [this] { events.push_back("connect"); };
        s.OnConnectionRequest = [this](std::int32_t id) {
            events.push_back("request");
            requests.push_back(id);
        };
        s.OnDataArrival = [this, &s, takeData](std::int32_t) {
            if (events.empty() || events.back() != "data")
                events.push_back("data");
            if (takeData)
                received += s.GetData();
        };
        s.OnError = [this](std::int16_t n, const std::string& d, std::int32_t,
                           const std::string& src, const std::string&, std::int32_t, bool&) {
            events.push_back("error");
            errorNumber = n;
            errorText = d;
            errorSource = src;
        };
        s.OnSendComplete = [this] {
            events.push_back("sendcomplete");
            ++sendCompletes;
        };
        s.OnSendProgress = [this](std::int32_t sent, std::int32_t left) {
            progress.emplace_back(sent, left);
        };
    }
    bool saw(const std::string& e) const {
        return std::find(events.begin(), events.end(), e) != events.end();
    }
};

class SocketTest : public ::testing::Test {
protected:
    platform::EventLoop loop;
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        return loop.runUntil(done, limit);
    }
    void settle(std::chrono::milliseconds span) {
        loop.runUntil([] { return false; }, span);
    }
    // Connects `client` to a plain peer; returns the peer's socket once OnConnect has come.
    int connectToPeer(CSocket& client, Recorder& r, const RawListener& listener) {
        client.Connect("127.0.0.1", listener.port);
        int peer = listener.accept();
        if (!pumpUntil([&] { return r.saw("connect"); })) {
            ::close(peer);
            return -1;
        }
        return peer;
    }
    // Reads a plain peer while the loop runs, until the peer sees the end of the stream.
    bool readUntilEnd(int peer, std::string& got) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            char buffer[65536];
            for (;;) {
                ssize_t n = ::recv(peer, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n == 0)
                    return true;
                if (n < 0)
                    break;
                got.append(buffer, static_cast<std::size_t>(n));
            }
            loop.pumpOnce(5ms);
        }
        return false;
    }
};

TEST_F(SocketTest, PeerThatSendsAndClosesAtOnceDeliversAllDataBeforeClose) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("127.0.0.1", listener.port);
    EXPECT_EQ(client.State(), SocketState::Connecting);
    int peer = listener.accept();
    const std::string payload = pattern(3 * 1024 * 1024);
    writeAll(peer, payload);
    ::close(peer);

    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); }));
    EXPECT_EQ(r.received.size(), payload.size());
    EXPECT_TRUE(r.received == payload);
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "data", "close"}));
    EXPECT_EQ(client.State(), SocketState::Closed);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST_F(SocketTest, LargeSendToSlowReaderReportsProgressAndCompletesOnceAfterLastByte) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);

    const std::string payload = pattern(16 * 1024 * 1024);
    client.SendData(payload);
    EXPECT_EQ(r.sendCompletes, 0) << "never inside the call that took the data";
    ASSERT_FALSE(r.progress.empty());
    EXPECT_GT(r.progress.front().second, 0) << "the network takes only part at first";

    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while ((r.sendCompletes == 0 || got.size() < payload.size()) &&
           std::chrono::steady_clock::now() < deadline) {
        got += readAvailable(peer);
        loop.pumpOnce(5ms);
    }
    settle(50ms);
    EXPECT_EQ(r.sendCompletes, 1);
    EXPECT_TRUE(got == payload);
    std::int64_t total = 0;
    for (auto [sent, left] : r.progress)
        total += sent;
    EXPECT_EQ(total, static_cast<std::int64_t>(payload.size()));
    EXPECT_GT(r.progress.size(), 1u);
    EXPECT_EQ(r.progress.back().second, 0);
    EXPECT_EQ(r.events.back(), "sendcomplete");
    ::close(peer);
}

TEST_F(SocketTest, SendDataAgainBeforeCompletionReplacesTheUnsentRest) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);

    const std::string first(32 * 1024 * 1024, 'a');
    client.SendData(first);
    ASSERT_GT(r.progress.back().second, 0);
    client.SendData(std::string("XYZ"));
    client.CloseSocket(); // the sending side closes once the new data is out

    std::string got;
    ASSERT_TRUE(readUntilEnd(peer, got));
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got.substr(got.size() - 3), "XYZ");
    EXPECT_LT(got.size(), first.size());
    EXPECT_EQ(got.find_first_not_of('a'), got.size() - 3);
    EXPECT_LE(r.sendCompletes, 1);
    ::close(peer);
}

TEST_F(SocketTest, GetDataAndPeekDataConvertByTypeAndLeaveDataAloneWhenEmpty) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client, /*takeData=*/false);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);

    SocketData untouched = std::string("unchanged");
    client.GetData(untouched, VarType::Long);
    EXPECT_EQ(std::get<std::string>(untouched), "unchanged");

    const std::string bytes("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    struct Case {
        VarType type;
        SocketData expected;
    };
    double asDouble;
    std::memcpy(&asDouble, bytes.data(), 8);
    float asFloat;
    std::memcpy(&asFloat, bytes.data(), 4);
    const Case cases[] = {
        {VarType::Byte, std::uint8_t{1}},
        {VarType::Integer, std::int16_t{0x0201}},
        {VarType::Long, std::int32_t{0x04030201}},
        {VarType::Single, asFloat},
        {VarType::Double, asDouble},
        {VarType::Currency, Currency{0x0807060504030201}},
        {VarType::Date, VbDate{asDouble}},
        {VarType::Boolean, true},
        {VarType::String, bytes},
        {VarType::ByteArray, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        writeAll(peer, bytes);
        ASSERT_TRUE(pumpUntil([&] { return client.BytesReceived() >= 8; }));
        SocketData peeked, taken;
        client.PeekData(peeked, c.type);
        EXPECT_EQ(peeked, c.expected);
        EXPECT_EQ(client.BytesReceived(), 8);
        client.GetData(taken, c.type);
        EXPECT_EQ(taken, c.expected);
        EXPECT_EQ(client.BytesReceived(), 0);
    }

    writeAll(peer, "hello world");
    ASSERT_TRUE(pumpUntil([&] { return client.BytesReceived() >= 11; }));
    EXPECT_EQ(client.GetData(5), "hello");
    EXPECT_EQ(client.BytesReceived(), 6);
    EXPECT_EQ(client.PeekData(100), " world");
    EXPECT_EQ(client.GetData(), " world");
    EXPECT_EQ(client.GetData(), "");
    ::close(peer);
}

TEST_F(SocketTest, ValuesSentByTypeArriveInMachineOrder) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);

    const std::pair<SocketData, std::string> cases[] = {
        {std::int32_t{0x04030201}, std::string("\x01\x02\x03\x04", 4)},
        {std::int16_t{0x0201}, std::string("\x01\x02", 2)},
        {true, std::string("\xff\xff", 2)},
        {std::uint8_t{7}, std::string("\x07", 1)},
        {std::vector<std::uint8_t>{0, 1}, std::string("\x00\x01", 2)},
        {std::monostate{}, std::string()},
    };
    for (const auto& [value, wire] : cases) {
        r.sendCompletes = 0;
        client.SendData(value);
        ASSERT_TRUE(pumpUntil([&] { return r.sendCompletes == 1; }));
        settle(5ms);
        EXPECT_EQ(readAvailable(peer), wire);
    }
    ::close(peer);
}

TEST_F(SocketTest, StaleResolutionResultIsIgnored) {
    RawListener first, second;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("localhost", first.port);
    EXPECT_EQ(client.State(), SocketState::ResolvingHost);
    client.Connect("localhost", second.port); // supersedes the first lookup
    ASSERT_TRUE(pumpUntil([&] { return r.saw("connect") || r.saw("error"); }));
    settle(200ms);
    EXPECT_EQ(r.events, std::vector<std::string>{"connect"});
    EXPECT_EQ(client.RemotePort(), second.port);
    EXPECT_EQ(client.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(client.State(), SocketState::Connected);

    // Only the second listener has a connection waiting.
    ::fcntl(first.fd, F_SETFL, O_NONBLOCK);
    ::fcntl(second.fd, F_SETFL, O_NONBLOCK);
    EXPECT_LT(first.accept(), 0);
    int peer = second.accept();
    EXPECT_GE(peer, 0);
    ::close(peer);
}

TEST_F(SocketTest, CloseWhileResolvingNeverConnects) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("localhost", listener.port);
    client.CloseSocket();
    EXPECT_EQ(client.State(), SocketState::Closed);
    settle(300ms);
    EXPECT_TRUE(r.events.empty());
    ::fcntl(listener.fd, F_SETFL, O_NONBLOCK);
    EXPECT_LT(listener.accept(), 0);
}

TEST_F(SocketTest, NameThatDoesNotResolveGivesHostNotFound) {
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("no-such-host.invalid", 21);
    ASSERT_TRUE(pumpUntil([&] { return r.saw("error"); }, 15s));
    EXPECT_EQ(r.errorNumber, 11001);
    EXPECT_EQ(r.errorText, "Host not found.");
    EXPECT_EQ(client.State(), SocketState::Error);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST_F(SocketTest, RefusedConnectionGives10061AndLeavesTheObjectReusable) {
    RawListener notListening(/*listening=*/false);
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("127.0.0.1", notListening.port);
    ASSERT_TRUE(pumpUntil([&] { return r.saw("error"); }));
    EXPECT_EQ(r.errorNumber, 10061);
    EXPECT_EQ(r.errorText, "Connection refused.");
    EXPECT_EQ(client.State(), SocketState::Error);

    RawListener listener;
    client.Connect("127.0.0.1", listener.port);
    ASSERT_TRUE(pumpUntil([&] { return r.saw("connect"); }));
    EXPECT_EQ(client.State(), SocketState::Connected);
}

TEST_F(SocketTest, CloseWhileConnectingGivesClosedWithoutOnClose) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    client.Connect("127.0.0.1", listener.port);
    ASSERT_EQ(client.State(), SocketState::Connecting);
    client.CloseSocket();
    EXPECT_EQ(client.State(), SocketState::Closed);
    EXPECT_EQ(client.SocketHandle(), -1);
    settle(100ms);
    EXPECT_TRUE(r.events.empty());
}

TEST_F(SocketTest, ProtocolWrittenWhileASocketExistsKeepsTheOldOne) {
    CSocket s(loop);
    s.setProtocol(SocketProtocol::UDP);
    EXPECT_EQ(s.Protocol(), SocketProtocol::UDP);
    s.Bind(0, "127.0.0.1");
    s.setProtocol(SocketProtocol::TCP);
    EXPECT_EQ(s.Protocol(), SocketProtocol::UDP);
    int type = 0;
    socklen_t len = sizeof type;
    ::getsockopt(s.SocketHandle(), SOL_SOCKET, SO_TYPE, &type, &len);
    EXPECT_EQ(type, SOCK_DGRAM);
    s.CloseSocket();
    s.setProtocol(SocketProtocol::TCP);
    EXPECT_EQ(s.Protocol(), SocketProtocol::TCP);
}

TEST_F(SocketTest, ListenAndAcceptThroughConnectionRequest) {
    CSocket server(loop), accepted(loop), client(loop);
    Recorder rs, ra, rc;
    rs.attach(server);
    ra.attach(accepted);
    rc.attach(client);
    server.OnConnectionRequest = [&](std::int32_t id) {
        rs.events.push_back("request");
        accepted.Accept(id);
    };
    server.Bind(0, "127.0.0.1");
    server.Listen();
    ASSERT_EQ(server.State(), SocketState::Listening);
    ASSERT_GT(server.LocalPort(), 0);

    client.Connect("127.0.0.1", server.LocalPort());
    ASSERT_TRUE(pumpUntil([&] { return rc.saw("connect") && rs.saw("request"); }));
    EXPECT_EQ(accepted.State(), SocketState::Connected);
    EXPECT_EQ(accepted.RemotePort(), client.LocalPort());
    EXPECT_EQ(accepted.RemoteHost(), "127.0.0.1");
    EXPECT_EQ(accepted.LocalPort(), server.LocalPort());
    EXPECT_EQ(client.LocalIP(), "127.0.0.1");
    EXPECT_FALSE(client.LocalHostName().empty());

    client.SendData(std::string("ping"));
    ASSERT_TRUE(pumpUntil([&] { return ra.received == "ping"; }));
    accepted.SendData(std::string("pong"));
    ASSERT_TRUE(pumpUntil([&] { return rc.received == "pong"; }));

    client.CloseSocket();
    EXPECT_EQ(client.State(), SocketState::Closing);
    ASSERT_TRUE(pumpUntil([&] { return ra.saw("close"); }));
    EXPECT_EQ(accepted.State(), SocketState::Closed);
    accepted.CloseSocket(); // nothing left to close
    ASSERT_TRUE(pumpUntil([&] { return rc.saw("close"); }));
    EXPECT_EQ(client.State(), SocketState::Closed);
    EXPECT_EQ(server.State(), SocketState::Listening);
}

TEST_F(SocketTest, ConnectionNobodyAcceptsIsClosed) {
    CSocket server(loop);
    Recorder rs;
    rs.attach(server);
    server.Bind(0, "127.0.0.1");
    server.Listen();
    int raw = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(server.LocalPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_TRUE(pumpUntil([&] { return rs.saw("request"); }));
    char c;
    EXPECT_EQ(::recv(raw, &c, 1, 0), 0) << "the peer sees the end of the stream";
    ::close(raw);
}

TEST_F(SocketTest, CloseAfterSendDeliversEveryByteBeforeTheEnd) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);
    const std::string payload = pattern(12 * 1024 * 1024);
    client.SendData(payload);
    client.CloseSocket();
    std::string got;
    ASSERT_TRUE(readUntilEnd(peer, got));
    EXPECT_TRUE(got == payload);
    ::close(peer);
    ASSERT_TRUE(pumpUntil([&] { return r.saw("close"); }));
}

TEST_F(SocketTest, PeerResetGivesOnErrorAndDestroysTheSocket) {
    RawListener listener;
    CSocket client(loop);
    Recorder r;
    r.attach(client);
    int peer = connectToPeer(client, r, listener);
    ASSERT_GE(peer, 0);
    client.SendData(std::string("unread"));
    ASSERT_TRUE(pumpUntil([&] { return r.sendCompletes == 1; }));
    linger hard{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(peer); // unread data plus linger 0: a reset
    ASSERT_TRUE(pumpUntil([&] { return r.saw("error") || r.saw("close"); }));
    EXPECT_EQ(r.errorNumber, 10054);
    EXPECT_EQ(r.errorText, "Connection reset by peer.");
    EXPECT_EQ(client.State(), SocketState::Error);
    EXPECT_EQ(client.SocketHandle(), -1);
}

TEST_F(SocketTest, HandlerMayDestroyItsSocket) {
    RawListener listener;
    auto client = std::make_unique<CSocket>(loop);
    bool closed = false;
    client->OnDataArrival = [&](std::int32_t) { client.reset(); };
    client->OnClose = [&] { closed = true; };
    client->Connect("127.0.0.1", listener.port);
    int peer = listener.accept();
    writeAll(peer, "bye");
    ::close(peer);
    ASSERT_TRUE(pumpUntil([&] { return client == nullptr; }));
    settle(20ms);
    EXPECT_FALSE(closed);
}

TEST_F(SocketTest, MethodErrorsCarryTheirNumbersAndSources) {
    CSocket s(loop);
    struct Case {
        std::function<void()> call;
        int number;
        std::string description, source;
    };
    const Case cases[] = {
        {[&] { s.SendData(std::string("x")); }, 40006,
         "Wrong protocol or connection state for the requested transaction or request.",
         "CSocket.SendData"},
        {[&] { s.Connect(); }, 10049, "Cannot assign requested address.", "CSocket.Connect"},
        {[&] { s.Bind(0, "300.1.1.1"); }, 10049, "Cannot assign requested address.",
         "CSocket.Bind"},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << "no error for " << c.source;
        } catch (const NumberedError& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), c.description);
            EXPECT_EQ(e.source(), c.source);
        }
    }

    CSocket a(loop), b(loop);
    a.Bind(0, "127.0.0.1");
    a.Listen();
    b.setLocalPort(a.LocalPort());
    try {
        b.Listen();
        ADD_FAILURE() << "a port in use was taken";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 10048);
        EXPECT_EQ(e.description(), "Address already in use.");
        EXPECT_EQ(e.source(), "CSocket.Listen");
        EXPECT_EQ(b.State(), SocketState::Error);
    }
}

TEST_F(SocketTest, DatagramsCarryTheSenderAndTheBroadcastRuleFollowsTheAddress) {
    CSocket receiver(loop), sender(loop);
    Recorder rr, rsnd;
    rr.attach(receiver);
    rsnd.attach(sender);
    receiver.setProtocol(SocketProtocol::UDP);
    sender.setProtocol(SocketProtocol::UDP);
    receiver.Bind(0, "127.0.0.1");
    sender.Bind(0, "127.0.0.1");

    sender.setRemotePort(receiver.LocalPort());
    sender.setRemoteHost("localhost"); // a name: resolved before the datagram goes
    sender.SendData(std::string("first"));
    ASSERT_TRUE(pumpUntil([&] { return rr.received == "first"; }));
    EXPECT_EQ(receiver.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(receiver.RemotePort(), sender.LocalPort());
    EXPECT_FALSE(receiver.RemoteHost().empty());
    ASSERT_TRUE(pumpUntil([&] { return rsnd.sendCompletes == 1; }));

    auto broadcastOption = [&] {
        int on = -1;
        socklen_t len = sizeof on;
        ::getsockopt(sender.SocketHandle(), SOL_SOCKET, SO_BROADCAST, &on, &len);
        return on;
    };
    EXPECT_EQ(broadcastOption(), 0);
    sender.setRemoteHost("127.255.255.255");
    EXPECT_EQ(broadcastOption(), 1);
    sender.setRemoteHost("127.0.0.1");
    EXPECT_EQ(broadcastOption(), 0);

    // The receiver answers whoever sent last.
    receiver.SendData(std::string("reply"));
    ASSERT_TRUE(pumpUntil([&] { return rsnd.received == "reply"; }));
}

} // namespace
} // namespace vellumite
