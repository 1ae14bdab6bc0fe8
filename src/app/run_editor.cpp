// The editor process: web host, shell, start-up and the event loop.
#include "app/run_editor.h"

#include "app/command_handlers.h"
#include "core/panes.h"
#include "platform/browser_launch.h"
#include "platform/web_host.h"
#include "shell/startup.h"
#include "store/app_folder.h"
#include "store/editor_instance.h"

#include <csignal>
#include <iostream>
#include <sys/signalfd.h>
#include <system_error>
#include <thread>
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

// The address file of the editor that holds the folder's lock: written once it serves, removed
// when it ends, however it ends.
class AddressFile {
public:
    AddressFile(std::filesystem::path file, const std::string& address) : m_file(std::move(file)) {
        platform::writeRedirectFile(address, m_file);
    }
    ~AddressFile() {
        std::error_code ec;
        std::filesystem::remove(m_file, ec);
    }
    AddressFile(const AddressFile&) = delete;
    AddressFile& operator=(const AddressFile&) = delete;

private:
    std::filesystem::path m_file;
};

void announce(const std::string& address, const std::filesystem::path& addressFile,
              bool openBrowser) {
    std::cout << "Vellumite Editor: " << address << std::endl;
    std::error_code ec;
    bool opened = openBrowser && std::filesystem::exists(addressFile, ec) &&
                  platform::openInBrowser(addressFile);
    if (!opened)
        std::cout << "Open that address in your web browser." << std::endl;
}

[[noreturn]] void tellPortInUse(const std::system_error& e, int port) {
    if (e.code() == std::errc::address_in_use)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) +
                                 ": the port is in use; choose another with --port, or leave "
                                 "--port out to take a free one");
    throw;
}

int serveEditor(const EditorOptions& options, platform::InstanceLock& lock) {
    platform::EventLoop loop;
    SignalWatch signals(loop);

    platform::WebHostOptions hostOptions;
    hostOptions.appFolder = options.appFolder;
    hostOptions.shellFolder = shippedResources() / "html/shell";
    hostOptions.previewFolder = options.appFolder / "html/output";
    hostOptions.port = options.port;
    hostOptions.paneNames.assign(kPaneNames.begin(), kPaneNames.end());
    hostOptions.caption = std::string(kMainCaption);
    hostOptions.messageTitle = "Vellumite";
    platform::WebHost host(loop, hostOptions);
    try {
        host.start();
    } catch (const std::system_error& e) {
        tellPortInUse(e, options.port);
    }

    // The file first, then the record: whoever reads the record finds the file.
    const std::filesystem::path addressFile = options.appFolder / kAddressFile;
    AddressFile written(addressFile, host.address());
    lock.publish(host.address());
    announce(host.address(), addressFile, options.openBrowser);

    AppState app(loop, host, options.appFolder, options.settings);
    Shell shell(app, allCommandHandlers());
    // Closing the browser window closes the editor, as closing its main window always did;
    // a reload reconnects well within the grace time.
    host.onAllPagesClosed([&] { loop.quit(); }, std::chrono::seconds(30));
    loop.post([&] { shell.start(); });
    loop.run();

    shell.shutdown();
    host.stop();
    return 0;
}

} // namespace

int runEditor(const EditorOptions& options) {
    // One editor per app folder: a second start shows the running one. Its record appears a
    // moment after it took the lock; a holder that ends meanwhile leaves the lock to us.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        if (auto lock = claimEditorLock(options.appFolder))
            return serveEditor(options, *lock);
        if (auto address = runningEditorAddress(options.appFolder)) {
            announce(*address, options.appFolder / kAddressFile, options.openBrowser);
            return 0;
        }
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("another editor is starting on " + options.appFolder.string() +
                                     " but has not given its address; try again in a moment");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace vellumite
