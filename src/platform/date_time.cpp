// Local date and time as text, from the C library's local time.
#include "platform/date_time.h"

#include <ctime>

namespace platform {

namespace {

std::string formatNow(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}

} // namespace

std::string currentDateText() {
    return formatNow("%Y-%m-%d");
}

std::string currentTimeText() {
    return formatNow("%H:%M:%S");
}

std::string currentStamp14() {
    return formatNow("%Y%m%d%H%M%S");
}

} // namespace platform
