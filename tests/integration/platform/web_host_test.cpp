// The web host in a real browser: forms, modal dialogs and document operations round-trip.
#include "platform/files.h"
#include "platform/web_host.h"
#include "support/child_process.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

// browser_user.mjs playing the user in Chromium while the loop serves the page.
class BrowserUser {
public:
    BrowserUser(EventLoop& loop, const std::string& address, const std::string& userFile)
        : m_loop(loop) {
        m_child = testing_support::startChild(
            {"node", VELLUMITE_TESTS_DIR "/integration/platform/browser_user.mjs", address},
            {"USER_FILE=" + userFile, "VELLUMITE_BINARY=" VELLUMITE_BINARY,
             "VELLUMITE_SOURCE=" VELLUMITE_TESTS_DIR "/.."},
            true);
        ::fcntl(m_child.output, F_SETFL, O_NONBLOCK);
    }
    ~BrowserUser() {
        if (!ended()) {
            ::kill(m_child.pid, SIGKILL);
            ::waitpid(m_child.pid, nullptr, 0);
        }
        ::close(m_child.output);
    }
    bool ended() {
        if (!m_ended)
            m_ended = ::waitpid(m_child.pid, &m_status, WNOHANG) == m_child.pid;
        return m_ended;
    }
    // Pumps the loop until `done` or the script's end, whichever comes first.
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
        auto tick = m_loop.addPeriodicTimer(std::chrono::milliseconds(50), [] {});
        bool met = m_loop.runUntil([&] { return done() || ended(); }, timeout) && done();
        m_loop.cancelTimer(tick);
        return met;
    }
    // The script's exit status, or -1 when it does not end in time.
    int finish() {
        runUntil([&] { return ended(); }, std::chrono::seconds(90));
        return ended() && WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }
    std::string output() const {
        std::string text;
        char buf[4096];
        for (ssize_t n; (n = ::read(m_child.output, buf, sizeof buf)) > 0;)
            text.append(buf, static_cast<std::size_t>(n));
        return text;
    }

private:
    EventLoop& m_loop;
    testing_support::Child m_child;
    int m_status = 0;
    bool m_ended = false;
};

TEST(WebHostInBrowser, FormsDialogsAndDocumentOperationsRoundTrip) {
    testing_support::TempDir dir;
    fs::create_directories(dir / "html");
    EventLoop loop;
    WebHostOptions options;
    options.appFolder = dir.path();
    options.shellFolder = testing_support::sourceShare() / "html/shell";
    options.paneNames = {"webFrontpage", "webContent"};
    options.caption = "Test Editor";
    WebHost host(loop, options);
    host.start();
    fs::path chosen = dir / "picture.gif";
    files::writeFileAtomic(chosen, "GIF89a");
    files::writeFileAtomic(dir / "html/plain.html", "<!doctype html><p>no frames here</p>");
    files::writeFileAtomic(
        dir / "html/doc.html",
        "<!doctype html><html><head><style>#note { color: blue }</style></head>"
        "<body><form name=edit><input name=title value='Hi'>"
        "<input type=checkbox name=opt checked>"
        "<textarea name=body>The quick brown fox</textarea></form>"
        "<div id=box class=categorypopuphide></div><p id=note>x</p>"
        "<iframe src=child1.html></iframe>"
        "<a id=go href='&lt;$go$&gt;'>go</a><span id=ready></span></body></html>");
    files::writeFileAtomic(dir / "html/child1.html", "<!doctype html><p>one</p>");
    files::writeFileAtomic(dir / "html/child2.html",
                           "<!doctype html><form><input name=answer></form>");

    // Forms: one window is there when the page loads, the other is shown later.
    Form& failing = host.form("frmFail");
    failing.add("cmdFail", ControlKind::Button, {{"text", "Fail"}});
    int failures = 0;
    failing.on("cmdFail", "click", [&] {
        ++failures;
        throw std::runtime_error("Disk full");
    });
    failing.show();
    BrowserUser user(loop, host.address(), chosen.string());
    ASSERT_TRUE(user.runUntil([&] { return host.browserAttached(); }, std::chrono::seconds(60)))
        << "the browser never attached (is playwright-core installed? npm ci)\n"
        << user.output();
    ASSERT_TRUE(user.runUntil([&] { return failures == 2; }, std::chrono::seconds(60)))
        << user.output();
    Form& form = host.form("frmTest");
    form.setCaption("Test window");
    form.add("txtName", ControlKind::Text)
        .add("chkOpt", ControlKind::CheckBox, {{"text", "Option"}})
        .add("cmdGo", ControlKind::Button, {{"text", "Go"}, {"row", 1}})
        .add("lblResult", ControlKind::Label, {{"row", 1}})
        .add("progress", ControlKind::Progress);
    bool clicked = false;
    bool closed = false;
    form.on("cmdGo", "click", [&] {
        clicked = true;
        form.setText("lblResult", "Hello " + form.text("txtName") + ", option " +
                                      (form.checked("chkOpt") ? "on" : "off"));
        form.setProgress("progress", 40);
        form.setEnabled("cmdGo", false);
    });
    form.on("", "close", [&] {
        closed = true;
        host.unloadForm("frmTest");
    });
    form.show();
    ASSERT_TRUE(user.runUntil([&] { return closed; }, std::chrono::seconds(60))) << user.output();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(host.findForm("frmTest"), nullptr);

    // Modal dialogs answer the logic, and a missing frame is reported.
    Host& h = host; // the logic's view, with its default arguments
    EXPECT_EQ(h.inputBox("Please enter the name of your new template", "Template name"),
              std::optional<std::string>("Autumn"));
    EXPECT_EQ(h.openFileDialog("Choose a picture", "Images | *.gif;*.jpg"),
              std::optional<fs::path>(chosen));
    // Navigating a frame the page lacks is shown and does not leave the pane busy.
    Pane content = host.pane("webContent");
    content.navigate(dir / "html/plain.html");
    content.document().frame(3).navigate(dir / "html/plain.html");
    EXPECT_TRUE(content.waitUntilNotBusy(std::chrono::seconds(60)));

    // Document operations read and write the shown page from a page command.
    std::vector<std::string> seen;
    std::string title, selected, parent;
    bool checked = false;
    int forms = 0;
    host.onBeforeNavigate([&](const std::string& pane, const std::string& address,
                              const std::function<void(bool)>& decided) {
        seen.push_back(pane + " " + address);
        if (address.find("<$go$>") == std::string::npos)
            return false;
        decided(true);
        Document doc = host.pane("webContent").document();
        title = doc.fieldValue("edit", "title");
        checked = doc.fieldChecked("edit", "opt");
        forms = doc.formCount();
        Selection s = doc.selection();
        selected = s.text;
        parent = s.parentName;
        doc.replaceSelection("<b>" + s.text + "</b>");
        doc.setClassName("box", "categorypopupshow");
        doc.setText("note", "<i>not markup</i>");
        doc.setStyleRule(0, 0, "color", "red");
        doc.frame(0).navigate(dir / "html/child2.html");
        doc.frame(0).setFieldValue(0, "answer", "written after load");
        return true;
    });
    content.navigate(dir / "html/doc.html");
    content.bringToFront();
    EXPECT_TRUE(content.waitUntilNotBusy(std::chrono::seconds(60)));
    EXPECT_EQ(user.finish(), 0) << user.output();

    EXPECT_EQ(title, "Hi");
    EXPECT_TRUE(checked);
    EXPECT_EQ(forms, 1);
    EXPECT_EQ(selected, "brown");
    EXPECT_EQ(parent, "body");
    EXPECT_EQ(content.document().location(), (dir / "html/doc.html").string());
    EXPECT_EQ(content.document().frame(0).location(), (dir / "html/child2.html").string());
    // Reading what the page does not have is an error, not an empty answer.
    EXPECT_THROW(content.document().fieldValue("edit", "nosuchfield"), DomError);
    EXPECT_THROW(content.document().fieldValue("nosuchform", "title"), DomError);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "webContent " + (dir / "html/<$go$>").string()),
              seen.end());
}

// Connections that send a request's head one line at a time, as a client that wants to hold the
// server would, from several local addresses (each within the server's cap per client).
class SlowClients {
public:
    SlowClients(int port, int count) {
        for (int i = 0; i < count; ++i) {
            const std::string source = "127.0.0." + std::to_string(2 + i % 10);
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in from{}, to{};
            from.sin_family = to.sin_family = AF_INET;
            ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
            to.sin_port = htons(static_cast<std::uint16_t>(port));
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
                ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
                throw std::runtime_error("cannot connect from " + source);
            m_fds.push_back(fd);
            send(fd, "GET /s/guess/pane/webFrontpage/x.html HTTP/1.1\r\n");
        }
        m_sender = std::thread([this] {
            std::unique_lock lock(m_mutex);
            // A line on each connection every 300 ms: each read of the server is short.
            while (!m_wake.wait_for(lock, std::chrono::milliseconds(300), [&] { return m_stop; }))
                for (int fd : m_fds)
                    send(fd, "X-Slow: yes\r\n");
        });
    }
    ~SlowClients() {
        stopSending();
        for (int fd : m_fds)
            ::close(fd);
    }
    void stopSending() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_sender.joinable())
            m_sender.join();
    }
    // The connections the server has not closed yet.
    int open() const {
        int count = 0;
        for (int fd : m_fds) {
            pollfd p{fd, POLLIN, 0};
            count += ::poll(&p, 1, 0) == 0;
        }
        return count;
    }
    // True once the server has closed every one, within `timeout`.
    bool allClosedWithin(std::chrono::seconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (int fd : m_fds) {
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                pollfd p{fd, POLLIN, 0};
                if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                    return false;
                char buf[512];
                if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0)
                    break;
            }
        }
        return true;
    }

private:
    static void send(int fd, const std::string& text) {
        [[maybe_unused]] auto n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    }

    std::vector<int> m_fds;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_sender;
};

TEST(WebHostUnderLoad, SlowConnectionsHoldNoPageCommand) {
    testing_support::TempDir dir;
    fs::create_directories(dir / "html");
    EventLoop loop;
    WebHostOptions options;
    options.appFolder = dir.path();
    options.shellFolder = testing_support::sourceShare() / "html/shell";
    options.paneNames = {"webFrontpage"};
    WebHost host(loop, options);
    host.start();
    std::vector<std::string> commands;
    host.onBeforeNavigate(
        [&](const std::string&, const std::string& address, const std::function<void(bool)>&) {
            commands.push_back(address.substr(address.rfind('/') + 1));
            return true;
        });

    constexpr int kSlow = 40;
    constexpr int kCommands = 20;
    std::atomic<bool> done{false};
    int openDuring = 0;
    std::vector<int> answers;
    SlowClients slow(host.port(), kSlow);
    std::thread user([&] {
        const std::string base = "/s/" + host.address().substr(host.address().find("/s/") + 3);
        for (int i = 0; i < kCommands; ++i) {
            httplib::Client client("127.0.0.1", host.port());
            // The deadline of each command: an answer later than this is no answer.
            client.set_connection_timeout(std::chrono::seconds(1));
            client.set_read_timeout(std::chrono::seconds(1));
            auto r =
                client.Get(base + "pane/webFrontpage/html/%3C$go-" + std::to_string(i) + "$%3E",
                           {{"Sec-Fetch-Site", "same-origin"},
                            {"Sec-Fetch-Mode", "navigate"},
                            {"Sec-Fetch-Dest", "iframe"}});
            answers.push_back(r ? r->status : -1);
        }
        openDuring = slow.open();
        done = true;
        loop.post([] {});
    });
    loop.runUntil([&] { return done.load(); }, std::chrono::seconds(60));
    user.join();

    EXPECT_EQ(answers, std::vector<int>(kCommands, 204)) << "-1: no answer within 1 s";
    ASSERT_EQ(commands.size(), static_cast<std::size_t>(kCommands));
    EXPECT_EQ(commands.back(), "<$go-19$>");
    EXPECT_EQ(openDuring, kSlow) << "the slow connections were all held while the commands ran";
    // They are still sending, yet each request's time runs out: the server closes them all.
    EXPECT_TRUE(slow.allClosedWithin(std::chrono::seconds(20)));
}

} // namespace
} // namespace platform
