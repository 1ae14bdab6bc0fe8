// Drives a CFtpClient one operation at a time for tests: start, pump, read the completion.
#pragma once

#include "net/ftp_client.h"
#include "platform/event_loop.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Hooks every event of the client and records it. Tests may replace single handlers after.
class FtpDriver {
public:
    FtpDriver(platform::EventLoop& loop, vellumite::CFtpClient& client);

    // Starts an operation and pumps until a completion event arrives; its status, or nothing
    // when none came within `limit`.
    std::optional<vellumite::AsyncResultStatus>
    run(const std::function<void()>& start,
        std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Waits for the next completion without starting anything.
    std::optional<vellumite::AsyncResultStatus>
    next(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Starts an operation and checks its completion: success, or an error numbered `number`.
    ::testing::AssertionResult succeeds(const std::function<void()>& start);
    ::testing::AssertionResult failsWith(std::int32_t number, const std::function<void()>& start);
    // Pumps for `span`, whatever happens.
    void settle(std::chrono::milliseconds span);

    // "OnConnect", "OnUploadFile", ... with their status, in order.
    std::vector<std::pair<std::string, vellumite::AsyncResultStatus>> completions;
    std::vector<vellumite::FtpState> states;
    // The awaited replies, as each change made them.
    std::vector<vellumite::FtpWait> waits;
    std::vector<std::int64_t> progress;
    // What each secured connection reported.
    std::vector<std::string> tls;

    // "number description" of the client's last error, for failure messages.
    std::string lastError() const;

private:
    platform::EventLoop& m_loop;
    vellumite::CFtpClient& m_client;
};

} // namespace testing_support
