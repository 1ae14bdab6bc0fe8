// The poll(2) event loop: one pass = wait, then ready fds, due timers, posted messages.
#include "platform/event_loop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// The loop whose pass this thread is running, if any.
thread_local const EventLoop* t_passOf = nullptr;

// Keeps the nesting depth and the thread's running pass right whatever a callback throws.
class PassGuard {
public:
    PassGuard(const EventLoop& loop, int& depth) : m_depth(depth), m_outer(t_passOf) {
        ++m_depth;
        t_passOf = &loop;
    }
    ~PassGuard() {
        --m_depth;
        t_passOf = m_outer;
    }
    PassGuard(const PassGuard&) = delete;
    PassGuard& operator=(const PassGuard&) = delete;

private:
    int& m_depth;
    const EventLoop* m_outer;
};

int toPollTimeout(EventLoop::Clock::duration wait) {
    using namespace std::chrono;
    if (wait <= EventLoop::Clock::duration::zero())
        return 0;
    // Round up so that a timer due in 0.4 ms is not polled for with 0 ms, spinning.
    auto ms = duration_cast<milliseconds>(wait + microseconds(999)).count();
    return static_cast<int>(std::min<long long>(ms, 24 * 3600 * 1000));
}

} // namespace

EventLoop::EventLoop() : m_thread(std::this_thread::get_id()) {
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        throw std::runtime_error(std::string("cannot create eventfd: ") + std::strerror(errno));
}

EventLoop::~EventLoop() {
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

EventLoop::Id EventLoop::watchFd(int fd, short events, FdCallback callback) {
    Id id = m_nextId++;
    m_watches.emplace(id, std::make_shared<Watch>(Watch{fd, events, std::move(callback)}));
    return id;
}

void EventLoop::setFdEvents(Id watch, short events) {
    if (auto it = m_watches.find(watch); it != m_watches.end())
        it->second->events = events;
}

void EventLoop::unwatchFd(Id watch) {
    m_watches.erase(watch);
}

EventLoop::Id EventLoop::addTimer(std::chrono::milliseconds delay, Callback callback) {
    Id id = m_nextId++;
    m_timers.emplace(id, std::make_shared<Timer>(Timer{Clock::now() + delay, delay, false,
                                                       std::move(callback), m_pass}));
    return id;
}

EventLoop::Id EventLoop::addPeriodicTimer(std::chrono::milliseconds interval, Callback callback) {
    if (interval <= std::chrono::milliseconds::zero())
        interval = std::chrono::milliseconds(1); // a zero period would starve everything else
    Id id = m_nextId++;
    m_timers.emplace(id, std::make_shared<Timer>(Timer{Clock::now() + interval, interval, true,
                                                       std::move(callback), m_pass}));
    return id;
}

void EventLoop::restartTimer(Id timer) {
    if (auto it = m_timers.find(timer); it != m_timers.end()) {
        it->second->due = Clock::now() + it->second->interval;
        it->second->generation = m_pass;
    }
}

void EventLoop::cancelTimer(Id timer) {
    m_timers.erase(timer);
}

bool EventLoop::hasTimer(Id timer) const {
    return m_timers.contains(timer);
}

void EventLoop::post(Callback message) {
    {
        std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(message));
    }
    // A post made inside one of this loop's passes needs no wake-up: the thread is not in
    // poll(), and the next pass looks at the queue before it waits. This saves two system
    // calls per message on paths that post to themselves, such as the send path of a socket.
    if (t_passOf == this)
        return;
    std::uint64_t one = 1;
    // A full counter (never in practice) still leaves the fd readable, which is all we need.
    [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
}

void EventLoop::quit() {
    m_quit = true;
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
}

void EventLoop::drainWakeup() {
    std::uint64_t count;
    while (::read(m_wakeFd, &count, sizeof count) > 0) {
    }
}

std::optional<EventLoop::Clock::duration> EventLoop::timeUntilNextTimer() const {
    std::optional<Clock::time_point> next;
    for (const auto& [id, timer] : m_timers)
        if (!next || timer->due < *next)
            next = timer->due;
    if (!next)
        return std::nullopt;
    return *next - Clock::now();
}

bool EventLoop::pumpOnce(std::chrono::milliseconds maxWait) {
    return pass(maxWait, nullptr);
}

namespace {

bool stopped(const std::function<bool()>* stop) {
    return stop && (*stop)();
}

} // namespace

bool EventLoop::pass(std::chrono::milliseconds maxWait, const std::function<bool()>* stop) {
    PassGuard guard(*this, m_depth);
    const std::uint64_t passNumber = ++m_pass;

    Clock::duration wait = maxWait;
    {
        std::lock_guard lock(m_postedMutex);
        if (!m_posted.empty())
            wait = Clock::duration::zero();
    }
    if (auto untilTimer = timeUntilNextTimer())
        wait = std::min(wait, *untilTimer);

    std::vector<pollfd> fds;
    std::vector<std::pair<Id, std::uint64_t>> watched;
    fds.reserve(m_watches.size() + 1);
    fds.push_back({m_wakeFd, POLLIN, 0});
    for (const auto& [id, watch] : m_watches) {
        if (watch->events == 0)
            continue;
        fds.push_back({watch->fd, watch->events, 0});
        watched.emplace_back(id, watch->dispatches);
    }

    auto deadline = Clock::now() + wait;
    int rc;
    for (;;) {
        rc = ::poll(fds.data(), fds.size(), toPollTimeout(deadline - Clock::now()));
        if (rc >= 0 || errno != EINTR)
            break;
    }
    if (rc < 0)
        throw std::runtime_error(std::string("cannot poll: ") + std::strerror(errno));

    if (fds[0].revents & POLLIN)
        drainWakeup();

    std::vector<ReadyWatch> ready;
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents != 0)
            ready.push_back({watched[i - 1].first, watched[i - 1].second, fds[i].revents});

    bool ran = runReadyWatches(ready, stop);
    if (stopped(stop))
        return ran;
    ran |= runDueTimers(passNumber, stop);
    if (stopped(stop))
        return ran;
    ran |= runPostedMessages(stop);
    return ran;
}

bool EventLoop::runReadyWatches(const std::vector<ReadyWatch>& ready,
                                const std::function<bool()>* stop) {
    bool ran = false;
    for (const auto& r : ready) {
        if (ran && stopped(stop))
            break; // a watch left unserved is still ready on the next poll

        auto it = m_watches.find(r.id);
        if (it == m_watches.end())
            continue;            // removed by an earlier callback of this pass
        auto watch = it->second; // keeps the callback alive if it removes its own watch
        if (watch->dispatches != r.dispatches)
            continue; // a nested pass already served this readiness
        short revents = r.revents & (watch->events | POLLERR | POLLHUP | POLLNVAL);
        if (revents == 0)
            continue;
        ++watch->dispatches;
        watch->callback(revents);
        ran = true;
    }
    return ran;
}

bool EventLoop::runDueTimers(std::uint64_t pass, const std::function<bool()>* stop) {
    auto now = Clock::now();
    std::vector<std::pair<Clock::time_point, Id>> due;
    for (const auto& [id, timer] : m_timers)
        if (timer->due <= now && timer->generation < pass)
            due.emplace_back(timer->due, id);
    std::sort(due.begin(), due.end());

    bool ran = false;
    for (const auto& [when, id] : due) {
        if (ran && stopped(stop))
            break; // still due: the next pass runs it
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            continue;
        auto timer = it->second;
        if (timer->due > now)
            continue; // restarted by an earlier callback of this pass
        if (timer->periodic) {
            timer->due += timer->interval;
            if (timer->due <= now)
                timer->due = now + timer->interval;
        } else {
            m_timers.erase(it);
        }
        timer->callback();
        ran = true;
    }
    return ran;
}

bool EventLoop::runPostedMessages(const std::function<bool()>* stop) {
    std::size_t count;
    {
        std::lock_guard lock(m_postedMutex);
        count = m_posted.size();
    }
    // One message at a time, so that a nested pass started by a message runs the next ones in
    // order instead of leaving them to this pass.
    bool ran = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (ran && stopped(stop))
            break; // left in the queue, in order, for the pass outside
        Callback message;
        {
            std::lock_guard lock(m_postedMutex);
            if (m_posted.empty())
                break;
            message = std::move(m_posted.front());
            m_posted.pop_front();
        }
        message();
        ran = true;
    }
    return ran;
}

bool EventLoop::runUntil(const std::function<bool()>& done,
                         std::optional<std::chrono::milliseconds> timeout) {
    std::optional<Clock::time_point> deadline;
    if (timeout)
        deadline = Clock::now() + *timeout;
    while (!done()) {
        if (m_quit)
            return false;
        auto wait = std::chrono::milliseconds(60'000);
        if (deadline) {
            auto left = *deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return false;
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        pass(wait, &done);
    }
    return true;
}

void EventLoop::run() {
    while (!m_quit)
        pumpOnce(std::chrono::milliseconds(60'000));
}

} // namespace platform
