#include "platform/event_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using platform::EventLoop;

namespace {

struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_NONBLOCK), 0); // a stale readiness must not block a test
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        ::close(read);
        ::close(write);
    }
};

} // namespace

TEST(EventLoop, PostedMessagesRunInOrderAcrossNestedPumps) {
    EventLoop loop;
    std::vector<int> order;
    // The first message pumps in place until the third has run: the nested pass must take the
    // second and third in their order, and the outer pass must not run them again.
    loop.post([&] {
        order.push_back(1);
        loop.runUntil([&] { return order.size() >= 3; }, 1s);
        order.push_back(4);
    });
    loop.post([&] { order.push_back(2); });
    loop.post([&] { order.push_back(3); });
    loop.runUntil([&] { return order.size() >= 4; }, 1s);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(loop.pumpOnce());
}

TEST(EventLoop, PostFromOtherThreadsWakesTheLoop) {
    EventLoop loop;
    std::vector<std::thread> threads;
    int received = 0;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                loop.post([&] { ++received; });
        });
    EXPECT_TRUE(loop.runUntil([&] { return received == 1000; }, 5s));
    for (auto& t : threads)
        t.join();
}

TEST(EventLoop, OneShotTimersFireOnceInDueOrder) {
    EventLoop loop;
    std::vector<std::string> fired;
    loop.addTimer(30ms, [&] { fired.push_back("late"); });
    loop.addTimer(5ms, [&] { fired.push_back("early"); });
    auto cancelled = loop.addTimer(10ms, [&] { fired.push_back("cancelled"); });
    loop.cancelTimer(cancelled);
    loop.runUntil([&] { return fired.size() >= 2; }, 1s);
    loop.runUntil([] { return false; }, 50ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"early", "late"}));
    EXPECT_FALSE(loop.hasTimer(cancelled));

    // A timer added by a timer's callback does not run in that same pass.
    bool inner = false;
    loop.addTimer(0ms, [&] { loop.addTimer(0ms, [&] { inner = true; }); });
    loop.runUntil([&] { return loop.pumpOnce(); }, 1s); // runs the first timer
    EXPECT_FALSE(inner);
    loop.runUntil([&] { return inner; }, 1s);
    EXPECT_TRUE(inner);
}

TEST(EventLoop, PeriodicTimerRepeatsUntilCancelledAndRestartDelaysIt) {
    EventLoop loop;
    int ticks = 0;
    EventLoop::Id id = 0;
    id = loop.addPeriodicTimer(5ms, [&] {
        if (++ticks == 3)
            loop.cancelTimer(id);
    });
    loop.runUntil([&] { return ticks >= 3; }, 2s);
    loop.runUntil([] { return false; }, 30ms); // and no tick after the cancel
    EXPECT_EQ(ticks, 3);

    // Restarting the countdown again and again keeps it from firing at all. The period is
    // long against one pass, so that a busy machine pausing this thread cannot make it due.
    int restarted = 0;
    auto later = loop.addPeriodicTimer(400ms, [&] { ++restarted; });
    auto start = EventLoop::Clock::now();
    while (EventLoop::Clock::now() - start < 600ms) {
        loop.restartTimer(later);
        loop.pumpOnce(5ms);
    }
    EXPECT_EQ(restarted, 0);
    loop.runUntil([&] { return restarted == 1; }, 2s);
    EXPECT_EQ(restarted, 1);
}

TEST(EventLoop, FdWatchIsLevelTriggeredAndStopsWhenRemoved) {
    EventLoop loop;
    Pipe p;
    std::string got;
    EventLoop::Id watch = 0;
    watch = loop.watchFd(p.read, POLLIN, [&](short) {
        char c;
        if (::read(p.read, &c, 1) == 1)
            got += c;
        if (got.size() == 3)
            loop.unwatchFd(watch); // removing itself from inside its callback is allowed
    });
    ASSERT_EQ(::write(p.write, "abcd", 4), 4);
    loop.runUntil([&] { return got.size() == 3; }, 1s);
    loop.runUntil([] { return false; }, 20ms);
    EXPECT_EQ(got, "abc"); // one byte per call; the fourth was never read
}

TEST(EventLoop, AWatchRemovedOrServedByAnEarlierCallbackOfThePassIsNotCalledAgain) {
    // Watches are served in the order they were added: a first. It either removes b, or pumps
    // in place so that a nested pass serves b; the outer pass must not call b with its stale
    // readiness either way.
    for (bool nested : {false, true}) {
        EventLoop loop;
        Pipe a, b;
        int callsB = 0;
        EventLoop::Id watchB = 0;
        loop.watchFd(a.read, POLLIN, [&](short) {
            char c;
            [[maybe_unused]] auto n = ::read(a.read, &c, 1);
            if (nested)
                loop.runUntil([&] { return callsB > 0; }, 1s);
            else
                loop.unwatchFd(watchB);
        });
        watchB = loop.watchFd(b.read, POLLIN, [&](short) {
            ++callsB;
            char c;
            [[maybe_unused]] auto n = ::read(b.read, &c, 1);
        });
        ASSERT_EQ(::write(a.write, "x", 1), 1);
        ASSERT_EQ(::write(b.write, "y", 1), 1);
        loop.pumpOnce(100ms);
        loop.pumpOnce(10ms);
        EXPECT_EQ(callsB, nested ? 1 : 0) << (nested ? "served by a nested pass" : "removed");
    }
}

TEST(EventLoop, RunUntilGivesUpAfterItsTimeoutAndQuitEndsRun) {
    EventLoop loop;
    auto start = EventLoop::Clock::now();
    EXPECT_FALSE(loop.runUntil([] { return false; }, 30ms));
    EXPECT_GE(EventLoop::Clock::now() - start, 30ms);

    // Another thread quits while run() is already pumping.
    std::thread stopper;
    loop.post([&] { stopper = std::thread([&] { loop.quit(); }); });
    loop.run(); // returns only because of quit()
    stopper.join();
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_FALSE(loop.runUntil([] { return false; })); // a quitting loop does not wait
}

TEST(EventLoop, AMessagePostedInsideAPassRunsWithoutWaiting) {
    EventLoop loop;
    bool ran = false;
    // Posted from inside a pass, after that pass took its messages: the next pass must see it
    // before it waits, as no wake-up was written for it.
    loop.post([&] { loop.post([&] { ran = true; }); });
    loop.pumpOnce();
    ASSERT_FALSE(ran);
    auto start = EventLoop::Clock::now();
    loop.pumpOnce(std::chrono::seconds(5));
    EXPECT_TRUE(ran);
    EXPECT_LT(EventLoop::Clock::now() - start, std::chrono::seconds(4));
}

TEST(EventLoop, ANestedWaitGoesOnBeforeWhatWasQueuedBehindItsEvent) {
    // A handler asks a question and waits in place; the answer and a command clicked right
    // after it arrive together. The handler must go on with its answer before the command
    // runs, as it would have had the command come a moment later, whatever brought the answer.
    enum class Source { Message, Timer, Watch };
    for (Source source : {Source::Message, Source::Timer, Source::Watch}) {
        EventLoop loop;
        Pipe pipe;
        std::vector<std::string> order;
        bool answered = false;
        auto answer = [&] {
            answered = true;
            order.push_back("answer");
        };
        std::optional<EventLoop::Id> watch;
        loop.post([&] {
            order.push_back("ask");
            if (source == Source::Message)
                loop.post(answer);
            if (source == Source::Timer)
                loop.addTimer(0ms, answer);
            if (source == Source::Watch) {
                watch = loop.watchFd(pipe.read, POLLIN, [&](short) {
                    char c;
                    [[maybe_unused]] auto n = ::read(pipe.read, &c, 1);
                    answer();
                });
                ASSERT_EQ(::write(pipe.write, "y", 1), 1);
            }
            loop.post([&] { order.push_back("command"); });
            ASSERT_TRUE(loop.runUntil([&] { return answered; }, 1s));
            order.push_back("handled");
        });
        loop.runUntil([&] { return order.size() >= 4; }, 1s);
        EXPECT_EQ(order, (std::vector<std::string>{"ask", "answer", "handled", "command"}))
            << "source " << static_cast<int>(source);
        if (watch)
            loop.unwatchFd(*watch);
    }
}
