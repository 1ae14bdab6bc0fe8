#include "store/editor_instance.h"
#include "support/temp_dir.h"
#include "toolbar/editor_launch.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace vellumite::toolbar;
namespace fs = std::filesystem;

TEST(EditorLaunch, OnlyLoopbackHttpAddressesCountAsTheEditors) {
    const std::pair<const char*, bool> cases[] = {{"http://127.0.0.1:8080/s/abc/", true},
                                                  {"http://localhost:1/", true},
                                                  {"http://[::1]:65535", true},
                                                  {"https://127.0.0.1:8080/", false},
                                                  {"http://127.0.0.1.evil.test:80/", false},
                                                  {"http://127.0.0.1:/", false},
                                                  {"http://127.0.0.1:123456/", false},
                                                  {"javascript:alert(1)", false},
                                                  {"http://localhost:80@evil.test/", false},
                                                  {"", false}};
    for (const auto& [address, editor] : cases)
        EXPECT_EQ(isEditorAddress(address), editor) << address;
}

TEST(EditorLaunch, WithoutARunningEditorTheOneBesideTheHostStartsOnTheSameAppFolder) {
    testing_support::TempDir dir;
    fs::create_directories(dir / "app");
    EXPECT_EQ(launchVellumite(dir / "app", dir / "bin").kind, LaunchOutcome::NotFound);

    fs::create_directories(dir / "bin");
    fs::path program = dir / "bin/vellumite";
    std::ofstream(program) << "#!/bin/sh\n"
                              "echo \"$@\" >> \"$2/started.tmp\"\n"
                              "mv \"$2/started.tmp\" \"$2/started\"\n";
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_EQ(launchVellumite(dir / "app", dir / "bin").kind, LaunchOutcome::Started);
    fs::path started = dir / "app/started";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(started) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(started);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "--data-dir " + (dir / "app").string());

    // An editor record that is no loopback address is not opened.
    auto lock = vellumite::claimEditorLock(dir / "app");
    ASSERT_TRUE(lock);
    lock->publish("http://evil.test:80/");
    EXPECT_EQ(launchVellumite(dir / "app", dir / "missing").kind, LaunchOutcome::NotFound);
    lock->publish("http://127.0.0.1:8080/s/t/");
    LaunchOutcome running = launchVellumite(dir / "app", dir / "missing");
    EXPECT_EQ(running.kind, LaunchOutcome::Focus);
    EXPECT_EQ(running.address, "http://127.0.0.1:8080/s/t/");
}
