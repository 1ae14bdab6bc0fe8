// CTimeout on periodic loop timers; the timer registry finds the object from its id.
#include "net/timeout.h"

#include "platform/error.h"

#include <map>

namespace vellumite {

struct TimerAccess {
    static void fire(CTimeout& timeout) { timeout.fireTimeOut(); }
};

namespace MTimeOutSupport {

namespace {

struct ArmedTimer {
    CTimeout* timeout;
    platform::EventLoop::Id loopTimer;
    std::int32_t seconds;
};

struct ModuleState {
    std::map<std::uintptr_t, ArmedTimer> timers;
    std::int16_t armedCount = 0; // counted as timers are armed and killed; nothing reads it
};

ModuleState& state() {
    thread_local ModuleState s; // one per logic thread: each loop routes its own sockets
    return s;
}

platform::EventLoop::Id arm(CTimeout& timeout, std::uintptr_t id, std::int32_t seconds) {
    if (seconds <= 0 || !timeout.loop().isLoopThread())
        throw platform::NumberedError(17002, "Cannot create the timer", "MTimeOutSupport.RegisterTimer");
    return timeout.loop().addPeriodicTimer(std::chrono::seconds(seconds), [id] {
        auto& timers = state().timers;
        if (auto it = timers.find(id); it != timers.end())
            TimerAccess::fire(*it->second.timeout);
    });
}

} // namespace

void CreateTimer(platform::EventLoop& loop) {
    if (!loop.isLoopThread())
        throw platform::NumberedError(17001, "Cannot create the timer window.",
                            "MTimeOutSupport.CreateTimer");
}

void DestroyTimer() {}

std::uintptr_t RegisterTimer(std::int32_t seconds, CTimeout& timeout) {
    const auto id = reinterpret_cast<std::uintptr_t>(&timeout);
    auto loopTimer = arm(timeout, id, seconds);
    state().timers[id] = ArmedTimer{&timeout, loopTimer, seconds};
    ++state().armedCount;
    return id;
}

void UnregisterTimer(std::uintptr_t id) {
    auto& timers = state().timers;
    auto it = timers.find(id);
    if (it == timers.end())
        return;
    it->second.timeout->loop().cancelTimer(it->second.loopTimer);
    timers.erase(it);
    --state().armedCount;
}

void ResetTimer(std::uintptr_t id, std::int32_t seconds) {
    auto& timers = state().timers;
    auto it = timers.find(id);
    if (it == timers.end())
        return;
    CTimeout& timeout = *it->second.timeout;
    // Restarted on every arrival of data, so the common case stays cheap; a changed interval
    // needs the timer armed anew.
    if (seconds == it->second.seconds && timeout.loop().hasTimer(it->second.loopTimer)) {
        timeout.loop().restartTimer(it->second.loopTimer);
        return;
    }
    timeout.loop().cancelTimer(it->second.loopTimer);
    it->second.loopTimer = arm(timeout, id, seconds);
    it->second.seconds = seconds;
}

bool IsTimerRunning(std::uintptr_t id) {
    return state().timers.contains(id);
}

} // namespace MTimeOutSupport

CTimeout::CTimeout(platform::EventLoop& loop) : m_loop(loop) {
    MTimeOutSupport::CreateTimer(loop);
}

CTimeout::~CTimeout() {
    if (m_timerId != 0)
        MTimeOutSupport::UnregisterTimer(m_timerId);
    MTimeOutSupport::DestroyTimer();
}

void CTimeout::StartTimer() {
    if (m_timeOutValue <= 0)
        return;
    if (m_timerId != 0 && MTimeOutSupport::IsTimerRunning(m_timerId))
        MTimeOutSupport::ResetTimer(m_timerId, m_timeOutValue);
    else
        m_timerId = MTimeOutSupport::RegisterTimer(m_timeOutValue, *this);
}

void CTimeout::StopTimer() {
    if (m_timerId != 0)
        MTimeOutSupport::UnregisterTimer(m_timerId);
}

void CTimeout::Reset() {
    // A zero interval would fire on every pass of the loop; without a value the timer is off.
    if (m_timeOutValue <= 0) {
        StopTimer();
        return;
    }
    StartTimer();
}

bool CTimeout::running() const {
    return m_timerId != 0 && MTimeOutSupport::IsTimerRunning(m_timerId);
}

void CTimeout::fireTimeOut() {
    if (TimeOut) {
        auto handler = TimeOut; // the handler may replace itself or destroy this object
        handler();
    }
}

} // namespace vellumite
