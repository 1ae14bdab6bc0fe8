// The web host in a real browser: forms, modal dialogs and document operations round-trip.
#include "platform/files.h"
#include "platform/web_host.h"
#include "support/child_process.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// browser_user.mjs playing one scenario in Chromium while the loop serves the page.
class BrowserUser {
public:
    BrowserUser(EventLoop& loop, const std::string& address, const std::string& scenario,
                std::vector<std::string> env = {})
        : m_loop(loop) {
        env.insert(env.end(), {"VELLUMITE_BINARY=" VELLUMITE_BINARY,
                               "VELLUMITE_SOURCE=" VELLUMITE_TESTS_DIR "/.."});
        m_child = testing_support::startChild(
            {"node", VELLUMITE_TESTS_DIR "/integration/web_host/browser_user.mjs", address,
             scenario},
            env, true);
        ::fcntl(m_child.output, F_SETFL, O_NONBLOCK);
    }
    ~BrowserUser() {
        if (!m_ended) {
            ::kill(m_child.pid, SIGKILL);
            ::waitpid(m_child.pid, nullptr, 0);
        }
        ::close(m_child.output);
    }
    // Pumps the loop until the script ends; its exit status, or -1 when it does not end in time.
    int finish() {
        int status = 0;
        auto tick = m_loop.addPeriodicTimer(std::chrono::milliseconds(50), [] {});
        m_ended =
            m_loop.runUntil([&] { return ::waitpid(m_child.pid, &status, WNOHANG) == m_child.pid; },
                            std::chrono::seconds(90));
        m_loop.cancelTimer(tick);
        return m_ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // What the script has printed so far.
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
    bool m_ended = false;
};

class WebHostInBrowser : public ::testing::Test {
protected:
    WebHostInBrowser() {
        fs::create_directories(dir / "html");
        WebHostOptions options;
        options.appFolder = dir.path();
        options.shellFolder = testing_support::sourceShare() / "html/shell";
        options.paneNames = {"webFrontpage", "webContent"};
        options.caption = "Test Editor";
        host = std::make_unique<WebHost>(loop, options);
        host->start();
    }
    void waitForBrowser() {
        ASSERT_TRUE(
            loop.runUntil([&] { return host->browserAttached(); }, std::chrono::seconds(60)));
    }

    testing_support::TempDir dir;
    EventLoop loop;
    std::unique_ptr<WebHost> host;
};

TEST_F(WebHostInBrowser, FormsOpenUpdateAndCloseAndAFailingHandlerIsShown) {
    // One window is there when the page loads, the other is shown once the page is attached.
    Form& failing = host->form("frmFail");
    failing.add("cmdFail", ControlKind::Button, {{"text", "Fail"}});
    int failures = 0;
    failing.on("cmdFail", "click", [&] {
        ++failures;
        throw std::runtime_error("Disk full");
    });
    failing.show();
    BrowserUser user(loop, host->address(), "forms");
    waitForBrowser();
    Form& form = host->form("frmTest");
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
        host->unloadForm("frmTest");
    });
    form.show();
    EXPECT_EQ(user.finish(), 0) << user.output();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(closed);
    EXPECT_EQ(host->findForm("frmTest"), nullptr);
    EXPECT_EQ(failures, 2);
}

TEST_F(WebHostInBrowser, ModalDialogsAnswerTheLogicAndAMissingFrameIsReported) {
    fs::path chosen = dir / "picture.gif";
    files::writeFileAtomic(chosen, "GIF89a");
    files::writeFileAtomic(dir / "html/plain.html", "<!doctype html><p>no frames here</p>");
    BrowserUser user(loop, host->address(), "dialogs", {"USER_FILE=" + chosen.string()});
    waitForBrowser();
    Host& h = *host; // the logic's view, with its default arguments
    EXPECT_EQ(h.inputBox("Please enter the name of your new template", "Template name"),
              std::optional<std::string>("Autumn"));
    EXPECT_EQ(h.openFileDialog("Choose a picture", "Images | *.gif;*.jpg"),
              std::optional<fs::path>(chosen));
    // Navigating a frame the page lacks is shown and does not leave the pane busy.
    Pane content = host->pane("webContent");
    content.navigate(dir / "html/plain.html");
    content.document().frame(3).navigate(dir / "html/plain.html");
    EXPECT_TRUE(content.waitUntilNotBusy(std::chrono::seconds(60)));
    EXPECT_EQ(user.finish(), 0) << user.output();
}

TEST_F(WebHostInBrowser, DocumentOperationsReadAndWriteTheShownPage) {
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
    BrowserUser user(loop, host->address(), "document");
    waitForBrowser();

    std::vector<std::string> seen;
    std::string title, selected, parent;
    bool checked = false;
    int forms = 0;
    host->onBeforeNavigate([&](const std::string& pane, const std::string& address,
                               const std::function<void(bool)>& decided) {
        seen.push_back(pane + " " + address);
        if (address.find("<$go$>") == std::string::npos)
            return false;
        decided(true);
        Document doc = host->pane("webContent").document();
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
    Pane content = host->pane("webContent");
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
    bool sawCommand = false;
    for (const auto& s : seen)
        sawCommand |= s == "webContent " + (dir / "html/<$go$>").string();
    EXPECT_TRUE(sawCommand);
}

} // namespace
} // namespace platform
