// Password scrambling: key stream rotation, xor rounds, length byte, random tail, hexadecimal.
#include "shell/mod_encrypt.h"

#include "platform/numbers.h"

#include <memory>
#include <random>
#include <stdexcept>

namespace vellumite {

namespace {

// The key repeated and cut to `length` bytes.
std::string keyStream(std::string_view key, std::size_t length) {
    std::string s;
    if (key.empty())
        return std::string(length, '\0');
    s.reserve(length);
    while (s.size() < length)
        s.append(key.substr(0, length - s.size()));
    return s;
}

// Round i xors the work text with the key stream rotated right by i mod its length. Xor is its
// own inverse and the rounds commute, so the same rounds undo it.
void xorRounds(std::string& work, const std::string& stream, int rounds, bool backwards) {
    const std::size_t n = stream.size();
    if (n == 0)
        return;
    for (int step = 1; step <= rounds; ++step) {
        const int i = backwards ? rounds - step + 1 : step;
        const std::size_t k = static_cast<std::size_t>(i) % n;
        // The last k bytes, then the first n - k.
        const std::string rotated = stream.substr(n - k) + stream.substr(0, n - k);
        for (std::size_t j = 0; j < work.size() && j < n; ++j)
            work[j] = static_cast<char>(static_cast<unsigned char>(work[j]) ^
                                        static_cast<unsigned char>(rotated[j]));
    }
}

RandomBetween systemRandom() {
    // Seeded afresh for each call: two passwords scrambled in the same instant still differ.
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(*engine); };
}

} // namespace

std::string hexEncode(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string hexDecode(std::string_view hex, const HexErrorReport& report) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        std::string_view pair = hex.substr(at, 2);
        std::string_view digits = pair;
        if (digits.size() >= 2 && digits[0] == '&' && (digits[1] == 'H' || digits[1] == 'h'))
            digits.remove_prefix(2);
        if (digits.empty())
            continue;
        int value = 0;
        bool valid = true;
        for (char c : digits) {
            int d = platform::hexDigitValue(c);
            if (d < 0) {
                valid = false;
                break;
            }
            value = value * 16 + d;
        }
        if (!valid) {
            if (report)
                report("Error in Hex string! (" + std::string(pair) + ")");
            continue;
        }
        out += static_cast<char>(value);
    }
    return out;
}

std::string Scramble(std::string_view key, std::string_view text, int mode,
                     const HexErrorReport& report) {
    return Scramble(key, text, mode, mode == 1 ? systemRandom() : RandomBetween{}, report);
}

std::string Scramble(std::string_view key, std::string_view text, int mode,
                     const RandomBetween& random, const HexErrorReport& report) {
    if (mode == 1) {
        if (text.empty() || text.size() > kMaxScrambleLength)
            throw std::length_error("a password must hold 1 to 255 characters");
        const std::string stream = keyStream(key, text.size());
        const int rounds = random(3, 253);
        std::string work(text);
        xorRounds(work, stream, rounds, false);
        std::string out;
        out += static_cast<char>(rounds);
        out += static_cast<char>(text.size());
        out += work;
        for (int n = random(0, 20); n > 0; --n)
            out += static_cast<char>(random(3, 253));
        return hexEncode(out);
    }

    if (text.empty())
        return {};
    const std::string bytes = hexDecode(text, report);
    if (bytes.size() < 2)
        return {};
    const int rounds = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = static_cast<unsigned char>(bytes[1]);
    // A damaged text may be shorter than its length byte says: work on what is there.
    std::string work = bytes.substr(2, length);
    xorRounds(work, keyStream(key, length), rounds, true);
    return work;
}

} // namespace vellumite
