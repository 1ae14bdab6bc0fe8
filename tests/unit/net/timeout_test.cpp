// CTimeout: periodic time-outs on the loop, restarted by Reset.
#include "net/numbered_error.h"
#include "net/timeout.h"

#include <gtest/gtest.h>
#include <vector>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(CTimeout, FiresRepeatedlyUntilStopped) {
    platform::EventLoop loop;
    CTimeout timeout(loop);
    std::vector<double> fired;
    const auto start = Clock::now();
    timeout.TimeOut = [&] { fired.push_back(secondsSince(start)); };
    timeout.setTimeOutValue(1);
    timeout.StartTimer();
    loop.runUntil([&] { return fired.size() == 2; }, 5s);
    ASSERT_EQ(fired.size(), 2u);
    // Never early; late only by what a loaded machine adds.
    // A periodic timer keeps its schedule: ticks are due at 1 s and 2 s, never earlier.
    EXPECT_GE(fired[0], 0.95);
    EXPECT_GE(fired[1], 1.95);
    EXPECT_LT(fired[1], 3.5);
    timeout.StopTimer();
    EXPECT_FALSE(timeout.running());
    loop.runUntil([] { return false; }, 1300ms);
    EXPECT_EQ(fired.size(), 2u);
}

TEST(CTimeout, ResetRestartsTheCountdown) {
    platform::EventLoop loop;
    CTimeout timeout(loop);
    std::vector<double> fired;
    const auto start = Clock::now();
    timeout.TimeOut = [&] { fired.push_back(secondsSince(start)); };
    timeout.setTimeOutValue(1);
    timeout.StartTimer();
    loop.runUntil([] { return false; }, 600ms);
    timeout.Reset();
    loop.runUntil([&] { return !fired.empty(); }, 3s);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_GE(fired[0], 1.55) << "a full interval after the reset at 0.6 s";
    EXPECT_LT(fired[0], 3.0);
}

TEST(CTimeout, DoesNotRunWithoutAValueAndStartsAgainAfterStop) {
    platform::EventLoop loop;
    CTimeout timeout(loop);
    int fired = 0;
    timeout.TimeOut = [&] { ++fired; };
    timeout.StartTimer();
    timeout.Reset();
    EXPECT_FALSE(timeout.running());
    timeout.setTimeOutValue(1);
    timeout.StartTimer();
    timeout.StopTimer();
    timeout.StartTimer();
    EXPECT_TRUE(timeout.running());
    loop.runUntil([&] { return fired == 1; }, 3s);
    EXPECT_EQ(fired, 1);
}

TEST(CTimeout, CreatingOffTheLoopThreadRaises17001) {
    platform::EventLoop loop;
    std::optional<NumberedError> error;
    std::thread([&] {
        try {
            CTimeout timeout(loop);
        } catch (const NumberedError& e) {
            error = e;
        }
    }).join();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), 17001);
    EXPECT_EQ(error->description(), "Cannot create the timer window.");
    EXPECT_EQ(error->source(), "MTimeOutSupport.CreateTimer");
}

} // namespace
} // namespace vellumite
