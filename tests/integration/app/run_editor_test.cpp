// The editor process as users start it: one per app folder, its own port, private files.
#include "platform/instance_lock.h"
#include "support/child_process.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::shellQuoted;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

// `vellumite --no-browser --port 0 --data-dir FOLDER`, running until the test ends it.
class Editor {
public:
    explicit Editor(const fs::path& folder) {
        m_child = testing_support::startChild(
            {VELLUMITE_BINARY, "--no-browser", "--port", "0", "--data-dir", folder.string()}, {},
            true);
        const std::string line = testing_support::readLine(m_child);
        const std::string prefix = "Vellumite Editor: ";
        if (line.rfind(prefix, 0) == 0)
            m_address = line.substr(prefix.size());
        else
            m_failure = line;
    }
    ~Editor() {
        if (m_child.pid > 0)
            end(SIGKILL);
        ::close(m_child.output);
    }
    const std::string& address() const { return m_address; }
    const std::string& failure() const { return m_failure; }
    int port() const { return std::stoi(m_address.substr(m_address.rfind(':') + 1)); }
    // The status of the shell page as a browser would ask for it.
    int shellStatus() const {
        httplib::Client client("127.0.0.1", port());
        auto r = client.Get(m_address.substr(m_address.find("/s/")));
        return r ? r->status : -1;
    }
    // Ends the process with `signal`; its exit status, -1 when a signal ended it.
    int end(int signal = SIGTERM) {
        ::kill(m_child.pid, signal);
        int status = 0;
        ::waitpid(m_child.pid, &status, 0);
        m_child.pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    testing_support::Child m_child;
    std::string m_address;
    std::string m_failure;
};

// A stand-in for the desktop's xdg-open that hands the file it is asked to open to the test
// through a named pipe.
class RecordingDesktop {
public:
    explicit RecordingDesktop(const fs::path& folder) : m_folder(folder) {
        fs::create_directories(folder / "bin");
        const fs::path fifo = folder / "opened";
        ::mkfifo(fifo.c_str(), 0600);
        m_fifo = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        std::ofstream(folder / "bin/xdg-open")
            << "#!/bin/sh\nprintf '%s' \"$1\" > " << shellQuoted(fifo.string()) << "\n";
        fs::permissions(folder / "bin/xdg-open", fs::perms::owner_all);
    }
    ~RecordingDesktop() { ::close(m_fifo); }
    // What the program was started with: a desktop session whose xdg-open is this one.
    std::string environment() const {
        return "env DISPLAY=:99 PATH=" + shellQuoted((m_folder / "bin").string() + ":") +
               "\"$PATH\" ";
    }
    // The file xdg-open was asked to open, once it has been (within 20 s).
    std::string opened() const {
        std::string text;
        pollfd p{m_fifo, POLLIN, 0};
        while (::poll(&p, 1, 20'000) > 0) {
            char buf[512];
            ssize_t n = ::read(m_fifo, buf, sizeof buf);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    fs::path m_folder;
    int m_fifo = -1;
};

std::string run(const fs::path& folder, const std::string& args) {
    return " --data-dir " + shellQuoted(folder.string()) + " " + args;
}

} // namespace

TEST(OneEditorPerFolder, ASecondStartShowsTheRunningEditorAndLeavesItsFiles) {
    TempDir dir;
    const fs::path app = dir / "app";
    Editor first(app);
    ASSERT_FALSE(first.address().empty()) << first.failure();
    const fs::path addressFile = app / "vellumite-address.html";

    RecordingDesktop desktop(dir / "desktop");
    auto second = testing_support::runCommand(desktop.environment() + VELLUMITE_BINARY +
                                              run(app, "--port 0"));
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(second.output, "Vellumite Editor: " + first.address() + "\n");
    EXPECT_EQ(desktop.opened(), addressFile.string()) << "the browser opens the running editor";
    auto quiet = testing_support::runVellumite(run(app, "--no-browser"));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.output, "Vellumite Editor: " + first.address() +
                                "\nOpen that address in your web browser.\n");

    // The command line works beside the editor, whose address file stays its own.
    EXPECT_EQ(testing_support::runVellumite(run(app, "sites")).output, "1  Welcome to Vellumite\n");
    EXPECT_EQ(testing_support::runVellumite(run(app, "preview 1")).status, 0);
    EXPECT_NE(std::ifstream(addressFile).peek(), EOF);
    EXPECT_EQ(first.shellStatus(), 200);

    EXPECT_EQ(first.end(), 0);
    EXPECT_FALSE(fs::exists(addressFile)) << "the editor that wrote it removes it";
    EXPECT_FALSE(platform::lockHolder(app / "vellumite.lock"));
}

TEST(OneEditorPerFolder, TwoFoldersRunSideBySideAndAPortIsNeverShared) {
    TempDir dir;
    Editor a(dir / "a");
    Editor b(dir / "b");
    ASSERT_FALSE(a.address().empty()) << a.failure();
    ASSERT_FALSE(b.address().empty()) << b.failure();
    EXPECT_NE(a.port(), b.port());
    EXPECT_EQ(a.shellStatus(), 200);
    EXPECT_EQ(b.shellStatus(), 200);

    const std::string port = std::to_string(a.port());
    auto third = testing_support::runVellumite(run(dir / "c", "--no-browser --port " + port));
    EXPECT_EQ(third.status, 1);
    EXPECT_EQ(third.output, "vellumite: cannot listen on 127.0.0.1:" + port +
                                ": the port is in use; choose another with --port, or leave "
                                "--port out to take a free one\n");
    EXPECT_EQ(a.shellStatus(), 200) << "the first keeps its port";
    EXPECT_FALSE(platform::lockHolder(dir / "c/vellumite.lock")) << "the failed start let go";
}

TEST(OneEditorPerFolder, TheLockOfAnEditorThatDiedIsTakenOver) {
    TempDir dir;
    std::string gone;
    {
        Editor killed(dir / "app");
        ASSERT_FALSE(killed.address().empty()) << killed.failure();
        gone = killed.address();
        killed.end(SIGKILL);
    }
    Editor next(dir / "app");
    ASSERT_FALSE(next.address().empty()) << next.failure();
    EXPECT_NE(next.address(), gone);
    EXPECT_EQ(next.shellStatus(), 200);
    EXPECT_EQ(platform::lockHolder(dir / "app/vellumite.lock")->text, next.address());
}

TEST(AppFolderRights, AFirstStartMakesTheFolderAndEveryFileInItPrivate) {
    TempDir dir;
    struct UsualUmask {
        mode_t before = ::umask(022);
        ~UsualUmask() { ::umask(before); }
    } usual;
    Editor editor(dir / "app");
    ASSERT_FALSE(editor.address().empty()) << editor.failure();
    ASSERT_EQ(testing_support::runVellumite(run(dir / "app", "preview 1")).status, 0);
    ASSERT_TRUE(fs::exists(dir / "app/html/output/index.html"));

    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "app")) {
        const auto mode = entry.symlink_status().permissions();
        if (entry.is_directory())
            EXPECT_EQ(mode, fs::perms::owner_all) << entry.path();
        else
            EXPECT_EQ(mode, fs::perms::owner_read | fs::perms::owner_write) << entry.path();
        files += entry.is_regular_file();
    }
    EXPECT_GT(files, 20);
    EXPECT_EQ(fs::status(dir / "app").permissions(), fs::perms::owner_all);
}
