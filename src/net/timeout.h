// CTimeout: a restartable, periodic time-out on the event loop, and its support module.
#pragma once

#include "platform/event_loop.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace vellumite {

// TimeOut is raised every TimeOutValue seconds while the timer runs; stopping it is the
// owner's business. Errors raise platform::NumberedError (17001, 17002).
class CTimeout {
public:
    // Raises 17001 "Cannot create the timer window." when not on the loop's thread.
    explicit CTimeout(platform::EventLoop& loop);
    ~CTimeout();
    CTimeout(const CTimeout&) = delete;
    CTimeout& operator=(const CTimeout&) = delete;

    // Arms the timer when TimeOutValue > 0.
    void StartTimer();
    // Kills the timer if it was ever armed.
    void StopTimer();
    // Restarts the countdown with the full TimeOutValue.
    void Reset();
    std::int32_t TimeOutValue() const { return m_timeOutValue; }
    void setTimeOutValue(std::int32_t seconds) { m_timeOutValue = seconds; }
    bool running() const;

    platform::EventLoop& loop() const { return m_loop; }

    std::function<void()> TimeOut;

private:
    friend struct TimerAccess;
    void fireTimeOut();

    platform::EventLoop& m_loop;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    std::int32_t m_timeOutValue = 0;
    std::uintptr_t m_timerId = 0; // 0 = never armed; else the object's identity
};

namespace MTimeOutSupport {
// Raises 17001 when the loop does not belong to this thread.
void CreateTimer(platform::EventLoop& loop);
void DestroyTimer();
// Starts a periodic timer of `seconds` for `timeout`; returns its id (the object's identity).
// Raises 17002 "Cannot create the timer" when it cannot be armed.
std::uintptr_t RegisterTimer(std::int32_t seconds, CTimeout& timeout);
void UnregisterTimer(std::uintptr_t id);
// Starts the timer with that id again, restarting its interval.
void ResetTimer(std::uintptr_t id, std::int32_t seconds);
bool IsTimerRunning(std::uintptr_t id);
} // namespace MTimeOutSupport

} // namespace vellumite
