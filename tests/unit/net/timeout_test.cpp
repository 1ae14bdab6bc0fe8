// CTimeout: periodic time-outs on the loop, restarted by Reset.
#include "net/timeout.h"
#include "support/raises.h"

#include <gtest/gtest.h>
#include <vector>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(CTimeout, FiresEveryIntervalAfterTheLastResetUntilStopped) {
    platform::EventLoop loop;
    CTimeout timeout(loop);
    std::vector<double> fired;
    const auto start = Clock::now();
    timeout.TimeOut = [&] { fired.push_back(secondsSince(start)); };
    timeout.StartTimer();
    EXPECT_FALSE(timeout.running()) << "no interval, no timer";
    timeout.setTimeOutValue(1);
    timeout.StartTimer();
    loop.runUntil([] { return false; }, 600ms);
    timeout.Reset();
    loop.runUntil([&] { return fired.size() == 2; }, 5s);
    ASSERT_EQ(fired.size(), 2u);
    // Due a second after the reset at 0.6 s, then every second: never early, late only by what
    // a loaded machine adds.
    EXPECT_GE(fired[0], 1.55);
    EXPECT_GE(fired[1], 2.55);
    EXPECT_LT(fired[1], 4.5);
    timeout.StopTimer();
    EXPECT_FALSE(timeout.running());
    loop.runUntil([] { return false; }, 1300ms);
    EXPECT_EQ(fired.size(), 2u);
    timeout.StartTimer();
    loop.runUntil([&] { return fired.size() == 3; }, 3s);
    EXPECT_EQ(fired.size(), 3u) << "starts again after a stop";
}

TEST(CTimeout, CreatingOffTheLoopThreadRaises17001) {
    platform::EventLoop loop;
    std::string error;
    std::thread([&] { error = testing_support::raised([&] { CTimeout timeout(loop); }); }).join();
    EXPECT_EQ(error, "17001 Cannot create the timer window. [MTimeOutSupport.CreateTimer]");
}

} // namespace
} // namespace vellumite
