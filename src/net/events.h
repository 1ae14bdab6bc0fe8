// Raising the events of the net classes.
#pragma once

#include <utility>

namespace vellumite {

// Calls a copy of an event handler when one is set: a handler may replace or clear itself (or
// destroy the object that holds it) while it runs, and must not destroy the function running.
template <class F, class... Args>
void fire(const F& handler, Args&&... args) {
    if (handler) {
        F copy = handler;
        copy(std::forward<Args>(args)...);
    }
}

} // namespace vellumite
