// A poll(2) event loop for the one logic thread: fd watches, timers and posted messages.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h> // POLLIN, POLLOUT: the events a watch asks for
#include <thread>
#include <vector>

namespace platform {

// Everything that the logic does runs inside callbacks of one EventLoop, on the thread that
// created it. Callbacks may pump the loop again (pumpOnce / runUntil): that is how in-place
// waits work, so handlers must expect to be re-entered.
//
// Guarantees:
// - posted messages run in the order they were posted, also across nested pumps;
// - a watch or timer removed during a pass is never called afterwards, not even by the pass that
//   already found it ready;
// - a timer added during a pass does not run in that pass;
// - each pass does a bounded amount of work, so no source starves another.
class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Callback = std::function<void()>;
    using FdCallback = std::function<void(short revents)>;
    using Id = std::uint64_t;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls `callback` with poll's revents while `fd` is ready for `events` (POLLIN, POLLOUT).
    // Level-triggered: a callback that leaves data unread is called again on the next pass.
    Id watchFd(int fd, short events, FdCallback callback);
    void setFdEvents(Id watch, short events);
    void unwatchFd(Id watch);

    Id addTimer(std::chrono::milliseconds delay, Callback callback);
    // Fires every `interval` until cancelled; a pass that is late fires once, not once per
    // missed interval.
    Id addPeriodicTimer(std::chrono::milliseconds interval, Callback callback);
    // Restarts the countdown of a timer from now, keeping its callback and interval.
    void restartTimer(Id timer);
    void cancelTimer(Id timer);
    bool hasTimer(Id timer) const;

    // Thread-safe: any thread may post; the message runs on the loop's thread.
    void post(Callback message);

    // One pass: waits at most `maxWait` for something to do, then does what is ready.
    // Returns true when at least one callback ran.
    bool pumpOnce(std::chrono::milliseconds maxWait = std::chrono::milliseconds(0));

    // Pumps until `done()` is true (returns true) or `timeout` has passed (returns false).
    // Without a timeout it waits as long as it takes, or until quit() is called. The pass that
    // makes `done()` true stops right there: what was queued behind the awaited event runs after
    // the waiting code has gone on, as it would have if it had come a moment later.
    bool runUntil(const std::function<bool()>& done,
                  std::optional<std::chrono::milliseconds> timeout = std::nullopt);

    // Runs until quit().
    void run();
    void quit();
    bool quitRequested() const { return m_quit; }

    // Nesting depth of passes now running: 0 outside the loop.
    int depth() const { return m_depth; }
    bool isLoopThread() const { return std::this_thread::get_id() == m_thread; }

private:
    struct Watch {
        int fd;
        short events;
        FdCallback callback;
        std::uint64_t dispatches = 0; // tells a pass that a nested pass already served it
    };
    struct Timer {
        Clock::time_point due;
        std::chrono::milliseconds interval; // the delay of a one-shot timer
        bool periodic;
        Callback callback;
        std::uint64_t generation; // the newest pass when it was added or restarted
    };

    // One pass; stops early once `stop` (when given) holds after a callback.
    bool pass(std::chrono::milliseconds maxWait, const std::function<bool()>* stop);
    bool runPostedMessages(const std::function<bool()>* stop);
    // Runs timers that are due and were armed before pass `pass` began.
    bool runDueTimers(std::uint64_t pass, const std::function<bool()>* stop);
    struct ReadyWatch {
        Id id;
        std::uint64_t dispatches;
        short revents;
    };
    bool runReadyWatches(const std::vector<ReadyWatch>& ready, const std::function<bool()>* stop);
    std::optional<Clock::duration> timeUntilNextTimer() const;
    void drainWakeup();

    std::thread::id m_thread;
    int m_wakeFd = -1;
    Id m_nextId = 1;
    std::uint64_t m_pass = 0;
    int m_depth = 0;
    std::atomic<bool> m_quit = false;

    std::map<Id, std::shared_ptr<Watch>> m_watches;
    std::map<Id, std::shared_ptr<Timer>> m_timers;

    mutable std::mutex m_postedMutex;
    std::deque<Callback> m_posted;
};

} // namespace platform
