// The editor's command-line options: refusals come as one line and exit status 1.
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using testing_support::runVellumite;
using testing_support::TempDir;

TEST(EditorCommand, BadOptionsAreRefusedBeforeAnythingStarts) {
    TempDir dir;
    const std::string data = " --data-dir " + dir.path().string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--no-browser --port abc" + data, "vellumite: --port needs a number from 0 to 65535\n"},
        {"--no-browser --port 70000" + data, "vellumite: --port needs a number from 0 to 65535\n"},
        {"--no-browser --port -1" + data, "vellumite: --port needs a number from 0 to 65535\n"},
        {"edit --no-browser --online --offline" + data,
         "vellumite: --online and --offline exclude each other\n"},
    };
    for (const auto& [args, message] : cases) {
        auto r = runVellumite(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.output, message) << args;
    }
}

TEST(EditorCommand, APortInUseIsAOneLineFailure) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(s, 1), 0);
    socklen_t len = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);

    TempDir dir;
    auto r = runVellumite("--no-browser --offline --port " + std::to_string(port) + " --data-dir " +
                          dir.path().string());
    ::close(s);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("vellumite: cannot listen on 127.0.0.1:" + std::to_string(port), 0),
              0u)
        << r.output;
}

} // namespace
