// The current local date and time as the stored text forms.
#pragma once

#include <string>

namespace platform {

std::string currentDateText(); // "YYYY-MM-DD"
std::string currentTimeText(); // "HH:MM:SS", 24-hour clock
std::string currentStamp14();  // "yyyymmddhhmmss"

} // namespace platform
