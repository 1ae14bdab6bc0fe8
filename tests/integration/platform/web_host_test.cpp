// The web host in a real browser: forms, modal dialogs and document operations round-trip; and
// page commands go through while slow clients try to hold the server.
#include "platform/files.h"
#include "platform/picked_file.h"
#include "platform/web_host.h"
#include "support/child_process.h"
#include "support/ftp_servers.h"
#include "support/raw_client.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
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

WebHostOptions optionsFor(const fs::path& appFolder, std::vector<std::string> panes) {
    WebHostOptions options;
    options.appFolder = appFolder;
    options.shellFolder = testing_support::sourceShare() / "html/shell";
    options.paneNames = std::move(panes);
    options.caption = "Test Editor";
    return options;
}

// Takes connections on 127.0.0.1 and never answers them.
struct SilentServer {
    int port = 0;
    int fd = testing_support::loopbackSocket(port, true);
    ~SilentServer() { ::close(fd); }
};

TEST(WebHostInBrowser, FormsDialogsAndDocumentOperationsRoundTrip) {
    testing_support::TempDir dir;
    fs::create_directories(dir / "html");
    EventLoop loop;
    WebHost host(loop, optionsFor(dir.path(), {"webFrontpage", "webContent"}));
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
    // So is a page whose server never answers, and the pane is not left busy by it either.
    SilentServer silent;
    content.navigate("http://127.0.0.1:" + std::to_string(silent.port) + "/slow-page.html");
    EXPECT_TRUE(content.busy());
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

TEST(WebHostUnderLoad, SlowConnectionsHoldNoPageCommand) {
    testing_support::TempDir dir;
    EventLoop loop;
    WebHost host(loop, optionsFor(dir.path(), {"webFrontpage"}));
    host.start();
    int commands = 0;
    host.onBeforeNavigate([&](auto&, auto&, auto&) { return ++commands > 0; });

    // 40 connections from two other local addresses that send a request's head a line every
    // 300 ms, so that no single read of the server waits long. Each address may hold 16.
    std::vector<int> slow;
    for (int i = 0; i < 40; ++i)
        slow.push_back(testing_support::connectFrom("127.0.0." + std::to_string(2 + i % 2),
                                                    host.port(), "GET /s/guess/ HTTP/1.1\r\n"));
    std::jthread trickle([&](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any paced;
        std::unique_lock lock(mutex);
        while (!paced.wait_for(lock, stop, std::chrono::milliseconds(300),
                               [&] { return stop.stop_requested(); }))
            for (int fd : slow)
                ::send(fd, "X-Slow: yes\r\n", 13, MSG_NOSIGNAL);
    });

    std::vector<int> answers;
    int openMeanwhile = 0;
    std::atomic<bool> done{false};
    std::thread user([&] {
        const std::string base = host.address().substr(host.address().find("/s/"));
        for (int i = 0; i < 20; ++i) {
            httplib::Client client("127.0.0.1", host.port());
            client.set_connection_timeout(std::chrono::seconds(1)); // the deadline of a command
            client.set_read_timeout(std::chrono::seconds(1));
            auto r =
                client.Get(base + "pane/webFrontpage/html/%3C$go$%3E",
                           {{"Sec-Fetch-Site", "same-origin"}, {"Sec-Fetch-Mode", "navigate"}});
            answers.push_back(r ? r->status : -1);
        }
        for (int fd : slow)
            openMeanwhile += !testing_support::closedWithin(fd, std::chrono::milliseconds(0));
        done = true;
        loop.post([] {});
    });
    loop.runUntil([&] { return done.load(); }, std::chrono::seconds(60));
    user.join();
    EXPECT_EQ(answers, std::vector<int>(20, 204)) << "-1: no answer within 1 s";
    EXPECT_EQ(commands, 20);
    EXPECT_EQ(openMeanwhile, 32) << "the slow connections were held while the commands ran";
    // Still trickling, each runs out of its request's time and is closed.
    for (int fd : slow)
        EXPECT_TRUE(testing_support::closedWithin(fd, std::chrono::seconds(20)));
    trickle.request_stop();
    trickle.join();
    for (int fd : slow)
        ::close(fd);
}

TEST(WebHostPick, AFileTooLargeOrWithoutAUsableNameIsRefusedBeforeItIsRead) {
    testing_support::TempDir dir;
    EventLoop loop;
    WebHost host(loop, optionsFor(dir.path(), {"webContent"}));
    host.start();
    const std::string base = host.address().substr(host.address().find("/s/"));
    // Only the head is sent: a refusal must not wait for the body.
    auto answer = [&](const std::string& query, std::uint64_t length) {
        const int fd = testing_support::connectFrom(
            "127.0.0.1", host.port(),
            "POST " + base + "pick?" + query + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                std::to_string(host.port()) + "\r\nOrigin: " + host.origin() +
                "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n");
        std::string text;
        char buf[4096];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
            const std::size_t head = text.find("\r\n\r\n");
            const std::size_t length = text.find("Content-Length: ");
            if (head != std::string::npos && length != std::string::npos &&
                text.size() >= head + 4 + std::stoul(text.substr(length + 16)))
                break; // the whole answer
        }
        ::close(fd);
        return text;
    };
    const std::string tooLarge =
        answer("form=frmImage&control=cmdBrowse&name=Big.gif&channel=1", kMaxPickedFileBytes + 1);
    EXPECT_TRUE(tooLarge.starts_with("HTTP/1.1 413")) << tooLarge;
    EXPECT_NE(tooLarge.find(pickedFileTooLarge("Big.gif", kMaxPickedFileBytes + 1)),
              std::string::npos)
        << tooLarge;
    const std::string unnamed = answer("form=frmImage&control=cmdBrowse&name=..&channel=1", 3);
    EXPECT_TRUE(unnamed.starts_with("HTTP/1.1 400")) << unnamed;
}

} // namespace
} // namespace platform
