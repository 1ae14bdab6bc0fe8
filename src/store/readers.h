// The two value readers every screen and page uses on database fields.
#pragma once

#include "platform/database.h"

#include <cstdint>
#include <string>

namespace vellumite {

// Null reads as the empty text, every other value as its text.
std::string readText(const platform::Value& value);

// Null and the empty text read as 3 (the value empty numeric settings have always meant);
// every other value as its integer part. Keys travel as 32-bit integers, so the result is
// held to that range rather than wrapping at 16 bits.
std::int32_t readInt(const platform::Value& value);

} // namespace vellumite
