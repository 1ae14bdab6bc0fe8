// The host program as the browser runs it: messages framed on its standard input and output.
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "toolbar/native_messaging.h"
#include "toolbar/settings_file.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vellumite::toolbar;
using nlohmann::json;

namespace {

// A running host with pipes to its standard input and output.
class Host {
public:
    explicit Host(const testing_support::TempDir& home)
        : m_child(testing_support::startChild(
              {VELLUMITEBAR_BINARY, "chrome-extension://id/"},
              {"HOME=" + home.path().string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
               "XDG_DATA_HOME=" + (home / "data").string(), "PATH=/usr/bin:/bin"},
              false, true)),
          m_pid(m_child.pid), m_input(m_child.input), m_output(m_child.output) {}
    ~Host() {
        closeInput();
        if (m_pid > 0)
            exitStatus();
        ::close(m_output);
    }

    void sendBytes(std::string_view bytes) {
        ASSERT_EQ(::write(m_input, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void send(const json& message) { sendBytes(frameOf(message)); }

    // The next message, or null after five seconds without one.
    json next() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!m_reader.hasFrame()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return nullptr;
            char buffer[65536];
            ssize_t n = ::read(m_output, buffer, sizeof buffer);
            if (n <= 0)
                return nullptr;
            m_reader.feed({buffer, static_cast<std::size_t>(n)});
        }
        return json::parse(m_reader.take().body);
    }
    // The next message of `type`, skipping others.
    json next(const std::string& type) {
        for (json m = next(); !m.is_null(); m = next())
            if (m["type"] == type)
                return m;
        return nullptr;
    }

    void closeInput() {
        if (m_input >= 0)
            ::close(m_input);
        m_input = -1;
    }
    int exitStatus() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    testing_support::Child m_child;
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    FrameReader m_reader;
};

} // namespace

TEST(Host, BadMessagesGetAnErrorAndTheConnectionStaysInStep) {
    testing_support::TempDir home;
    Host host(home);
    host.send({{"type", "padlock"}});
    EXPECT_EQ(host.next()["error"], "\"padlock\" came before \"setSite\"");

    // The band's sizes as applied: see the browser test of the add-on.
    host.send({{"type", "setSite"}, {"window", 1}});
    EXPECT_EQ(
        host.next(),
        json({{"type", "band"}, {"padlock", "green"}, {"counter", "0"}, {"counterVisible", true}}));
    EXPECT_EQ(host.next()["type"], "bandInfo");

    // A frame too large is skipped whole; what each message may hold: see the unit tests.
    std::string huge(1024 * 1024 + 1, ' ');
    std::uint32_t length = static_cast<std::uint32_t>(huge.size());
    std::string frame(4, '\0');
    std::memcpy(frame.data(), &length, 4);
    host.sendBytes(frame + huge);
    EXPECT_EQ(host.next()["error"], "a message of 1048577 bytes is larger than 1048576 bytes");
    host.send({{"type", "drop"}, {"types", {"text/plain"}}, {"text", std::string(600000, 'x')}});
    EXPECT_EQ(host.next()["error"], "field \"text\" is longer than 524288 bytes");
    host.send({{"type", "about"}});
    EXPECT_EQ(host.next(), json({{"type", "about"}, {"version", "1.1.0"}}));

    host.closeInput();
    EXPECT_EQ(host.exitStatus(), 0);
    EXPECT_EQ(SettingsFile(home / "config/vellumite/vellumitebar.ini").get("userdetails", "logout"),
              "0")
        << "the band form unloads when the browser closes the connection";
}

TEST(Host, APassAsksThePageForEachTermAndFollowsTheSwitchInTheSettings) {
    testing_support::TempDir home;
    SettingsFile settings(home / "config/vellumite/vellumitebar.ini");
    settings.set("UserDetails", "useritem1", "Apple and pie");
    Host host(home);
    host.send({{"type", "setSite"}, {"window", 1}});
    host.send({{"type", "tabActivated"}, {"tab", 3}, {"url", "http://a.test/"}});
    host.send({{"type", "documentComplete"}, {"tab", 3}, {"url", "http://a.test/"}});
    EXPECT_EQ(host.next("removeMarks")["tab"], 3);

    json apple = host.next("request");
    EXPECT_EQ(apple["op"], "mark");
    EXPECT_EQ(apple["term"], "Apple");
    EXPECT_EQ(apple["wholeWord"], false);
    // The browser's events go on being handled while the page works.
    host.send({{"type", "menuOpen"}});
    EXPECT_EQ(host.next("menu")["items"][0], json({{"id", 1}, {"caption", "Apple and pie"}}));
    host.send({{"type", "reply"}, {"id", apple["id"]}, {"count", 2}});
    json pie = host.next("request");
    EXPECT_EQ(pie["term"], "pie");
    EXPECT_NE(pie["colour"], apple["colour"]);
    host.send({{"type", "reply"}, {"id", pie["id"]}, {"count", 1}});
    for (json band = host.next("band"); band["counter"] != "3"; band = host.next("band"))
        ASSERT_FALSE(band.is_null()) << "the counter never reached 3";

    settings.set("userdetails", "highlights", "off"); // as another window does
    EXPECT_EQ(host.next("band")["padlock"], "grey");
    EXPECT_EQ(host.next("removeMarks")["tab"], 3);
}
