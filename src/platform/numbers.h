// Reading numbers out of text the way the stored pages and records expect.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// The leading number of a text, as VB's Val reads it: blanks, tabs and line feeds are skipped
// wherever they are, an optional sign, digits, an optional fraction and exponent; reading stops
// at the first other character; no number gives 0. "12abc" is 12, " 1 2" is 12, "abc" is 0.
double leadingNumber(std::string_view text);

// The value of one hexadecimal digit (0-9, A-F, a-f), or -1 for any other character.
int hexDigitValue(char c);

// The integer part of `value` (toward zero), held to the range of a 32-bit signed integer.
std::int32_t clampToInt32(double value);

} // namespace platform
