// modEncrypt: the scrambled hexadecimal form in which site passwords are stored.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vellumite {

// Every site password is scrambled with this key; stored passwords depend on it.
inline constexpr std::string_view kPasswordKey = "zep";

// The length of the text is stored in one byte, so longer texts cannot be scrambled.
inline constexpr std::size_t kMaxScrambleLength = 255;

// A number drawn uniformly from lo to hi, both included.
using RandomBetween = std::function<int(int lo, int hi)>;
// Told "Error in Hex string! (<pair>)" for each pair of a stored text that is not hexadecimal.
using HexErrorReport = std::function<void(const std::string& message)>;

// Mode 1 scrambles `text`: a random number of rotate-and-xor rounds (3 to 253) with the key
// stream, then one byte for the rounds, one for the length, the worked bytes and a random tail
// of 0 to 20 bytes, all as upper-case hexadecimal. Any other mode unscrambles such a text (the
// tail is dropped). The stored format is fixed: changing a step makes stored passwords fail.
// `text` must hold 1 to kMaxScrambleLength bytes for mode 1 (std::length_error otherwise).
std::string Scramble(std::string_view key, std::string_view text, int mode,
                     const HexErrorReport& report = {});

// The same, with the random numbers drawn from `random` (tests script them).
std::string Scramble(std::string_view key, std::string_view text, int mode,
                     const RandomBetween& random, const HexErrorReport& report = {});

// Two upper-case hexadecimal digits per byte.
std::string hexEncode(std::string_view bytes);
// Pairs of hexadecimal digits (either case, each pair may begin with "&H") back to bytes; a
// pair with any other character is reported and gives nothing.
std::string hexDecode(std::string_view hex, const HexErrorReport& report = {});

} // namespace vellumite
