// Password scrambling against texts worked out by hand, and round trips of random passwords.
#include "shell/mod_encrypt.h"

#include <deque>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <stdexcept>

namespace vellumite {
namespace {

// Hands out the scripted numbers in order, checking each against the range asked for.
RandomBetween scripted(std::deque<int> numbers) {
    return [numbers](int lo, int hi) mutable {
        EXPECT_FALSE(numbers.empty()) << "more random numbers asked for than scripted";
        int n = numbers.empty() ? lo : numbers.front();
        if (!numbers.empty())
            numbers.pop_front();
        EXPECT_GE(n, lo);
        EXPECT_LE(n, hi);
        return n;
    };
}

// "key" with the key "zep" over 4 rounds. Key stream "zep" = 7A 65 70; round i rotates it right
// by i mod 3: i=1 "pze" 70 7A 65, i=2 "epz" 65 70 7A, i=3 "zep", i=4 "pze". "key" = 6B 65 79:
//   after 1: 1B 1F 1C   after 2: 7E 6F 66   after 3: 04 0A 16   after 4: 74 70 73
// Stored: rounds 04, length 03, the work bytes, then the tail (here one byte, 2A).
constexpr std::string_view kKeyIn4Rounds = "04037470732A";

TEST(Scramble, WritesAndReadsTextsWorkedOutByHand) {
    EXPECT_EQ(Scramble(kPasswordKey, "key", 1, scripted({4, 1, 0x2A})), kKeyIn4Rounds);
    // "ab" with 3 rounds, no tail: stream "ze"; rotations "ez", "ze", "ez":
    // 61 62 -> 04 18 -> 7E 7D -> 1B 07.
    EXPECT_EQ(Scramble(kPasswordKey, "ab", 1, scripted({3, 0})), "03021B07");

    const std::pair<std::string_view, std::string_view> cases[] = {
        {kKeyIn4Rounds, "key"},
        {"0403747073", "key"},                 // without a tail
        {"04037470732a", "key"},               // lower-case digits
        {"04037470739C0D0E0F10111213", "key"}, // a long tail is dropped
        {"03021B07", "ab"},
        {"03021b07FD", "ab"},
    };
    for (const auto& [stored, password] : cases) {
        auto noReport = [&](const std::string& m) { ADD_FAILURE() << stored << ": " << m; };
        EXPECT_EQ(Scramble(kPasswordKey, stored, 2, noReport), password) << stored;
    }
}

// Each stored text: upper-case hex of rounds (3 to 253), the length, the work bytes and a
// tail of at most 20 bytes from 3 to 253.
void expectStoredForm(const std::string& stored, std::size_t length) {
    ASSERT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos) << stored;
    const std::string bytes = hexDecode(stored);
    ASSERT_EQ(stored.size(), 2 * bytes.size());
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), length % 256);
    EXPECT_LE(bytes.size() - 2 - length, 20u);
    for (std::size_t i = 0; i < bytes.size(); i += i == 0 ? 2 + length : 1) {
        EXPECT_GE(static_cast<unsigned char>(bytes[i]), 3) << stored;
        EXPECT_LE(static_cast<unsigned char>(bytes[i]), 253) << stored;
    }
}

TEST(Scramble, EveryLengthAndByteRoundTripsAndTwoScramblesDiffer) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 1; length <= kMaxScrambleLength; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i)
            password += static_cast<char>(byte(gen));
        std::string stored = Scramble(kPasswordKey, password, 1);
        expectStoredForm(stored, length);
        ASSERT_EQ(Scramble(kPasswordKey, stored, 2), password) << "length " << length;
    }
    // Bytes equal to the key's give zero bytes in the work text; they survive too.
    EXPECT_EQ(Scramble(kPasswordKey, Scramble(kPasswordKey, "zepzep", 1), 2), "zepzep");
    // Random rounds and a random tail: twenty alike would mean the randomness is gone.
    std::set<std::string> stored;
    for (int i = 0; i < 20; ++i)
        stored.insert(Scramble(kPasswordKey, "my secret", 1));
    EXPECT_GT(stored.size(), 15u);
}

TEST(Scramble, BadInputIsRefusedAndDamagedTextsGiveWhatTheyHold) {
    EXPECT_THROW(Scramble(kPasswordKey, "", 1), std::length_error);
    EXPECT_THROW(Scramble(kPasswordKey, std::string(256, 'a'), 1), std::length_error);
    std::vector<std::string> reports;
    auto report = [&](const std::string& m) { reports.push_back(m); };
    // A pair that is not hexadecimal is reported and decodes to nothing.
    EXPECT_EQ(Scramble(kPasswordKey, "04ZZ03747073", 2, report), "key");
    EXPECT_EQ(reports, std::vector<std::string>{"Error in Hex string! (ZZ)"});
    // Empty; too short to hold rounds and length; a length of 0; fewer bytes than it says.
    for (const char* damaged : {"", "04", "0400"})
        EXPECT_EQ(Scramble(kPasswordKey, damaged, 2), "") << damaged;
    EXPECT_EQ(Scramble(kPasswordKey, "040974", 2).size(), 1u);
    EXPECT_EQ(hexDecode("41&H42&h43"), "ABC"); // a prefix pair adds nothing
}

} // namespace
} // namespace vellumite
