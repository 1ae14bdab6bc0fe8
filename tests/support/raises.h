// What a call raised, as the net classes' numbered errors read: for compact error checks.
#pragma once

#include "platform/error.h"

#include <functional>
#include <string>

namespace testing_support {

// "number description [source]" of the platform::NumberedError `call` raised, or "nothing raised".
inline std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::NumberedError& e) {
        return std::to_string(e.number()) + " " + e.description() + " [" + e.source() + "]";
    }
    return "nothing raised";
}

} // namespace testing_support
