// The editor process: web host, shell, start-up and the event loop.
#include "app/run_editor.h"

#include "app/command_handlers.h"
#include "core/panes.h"
#include "platform/browser_launch.h"
#include "platform/web_host.h"
#include "shell/startup.h"
#include "store/app_folder.h"

#include <csignal>
#include <iostream>
#include <sys/signalfd.h>
#include <unistd.h>

namespace vellumite {

namespace {

// Turns SIGINT and SIGTERM into a quiet end of the loop, so shutdown runs.
class SignalWatch {
public:
    explicit SignalWatch(platform::EventLoop& loop) : m_loop(loop) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
        if (m_fd >= 0)
            m_watch = loop.watchFd(m_fd, POLLIN, [this](short) {
                signalfd_siginfo info;
                while (::read(m_fd, &info, sizeof info) > 0) {
                }
                m_loop.quit();
            });
    }
    ~SignalWatch() {
        if (m_fd >= 0) {
            m_loop.unwatchFd(m_watch);
            ::close(m_fd);
        }
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

private:
    platform::EventLoop& m_loop;
    int m_fd = -1;
    platform::EventLoop::Id m_watch = 0;
};

} // namespace

int runEditor(const EditorOptions& options) {
    platform::EventLoop loop;
    SignalWatch signals(loop);

    platform::WebHostOptions hostOptions;
    hostOptions.appFolder = options.appFolder;
    hostOptions.shellFolder = shippedResources() / "html/shell";
    hostOptions.port = options.port;
    hostOptions.paneNames.assign(kPaneNames.begin(), kPaneNames.end());
    hostOptions.caption = std::string(kMainCaption);
    hostOptions.messageTitle = "Vellumite";
    platform::WebHost host(loop, hostOptions);
    host.start();

    std::cout << "Vellumite Editor: " << host.address() << std::endl;
    std::filesystem::path addressFile = options.appFolder / kAddressFile;
    platform::writeRedirectFile(host.address(), addressFile);
    bool opened = options.openBrowser && platform::openInBrowser(addressFile);
    if (!opened)
        std::cout << "Open that address in your web browser." << std::endl;

    AppState app(loop, host, options.appFolder, options.settings);
    Shell shell(app, allCommandHandlers());
    // Closing the browser window closes the editor, as closing its main window always did;
    // a reload reconnects well within the grace time.
    host.onAllPagesClosed([&] { loop.quit(); }, std::chrono::seconds(30));
    loop.post([&] { shell.start(); });
    loop.run();

    shell.shutdown();
    host.stop();
    std::error_code ec;
    std::filesystem::remove(addressFile, ec);
    return 0;
}

} // namespace vellumite
