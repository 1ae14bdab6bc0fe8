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

TEST(Scramble, WritesRoundsLengthWorkAndTailAsUpperCaseHex) {
    EXPECT_EQ(Scramble(kPasswordKey, "key", 1, scripted({4, 1, 0x2A})), kKeyIn4Rounds);
    // "ab" with 3 rounds, no tail: stream "ze"; rotations "ez", "ze", "ez":
    // 61 62 -> 04 18 -> 7E 7D -> 1B 07.
    EXPECT_EQ(Scramble(kPasswordKey, "ab", 1, scripted({3, 0})), "03021B07");
}

TEST(Scramble, UnscramblesStoredTextsWorkedOutByHand) {
    struct Case {
        std::string_view stored;
        std::string_view password;
    } cases[] = {
        {kKeyIn4Rounds, "key"},
        {"0403747073", "key"},                 // without a tail
        {"04037470732a", "key"},               // lower-case digits
        {"04037470739C0D0E0F10111213", "key"}, // a long tail is dropped
        {"03021B07", "ab"},
        {"03021b07FD", "ab"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> reports;
        EXPECT_EQ(Scramble(kPasswordKey, c.stored, 2,
                           [&](const std::string& m) { reports.push_back(m); }),
                  c.password)
            << c.stored;
        EXPECT_TRUE(reports.empty()) << c.stored;
    }
}

TEST(Scramble, TwoScramblesOfOnePasswordDifferAndBothUnscramble) {
    std::set<std::string> stored;
    for (int i = 0; i < 20; ++i) {
        std::string s = Scramble(kPasswordKey, "my secret", 1);
        EXPECT_EQ(Scramble(kPasswordKey, s, 2), "my secret");
        stored.insert(s);
    }
    // Random rounds and a random tail: twenty alike would mean the randomness is gone.
    EXPECT_GT(stored.size(), 15u);
}

TEST(Scramble, EveryLengthAndByteRoundTrips) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 1; length <= kMaxScrambleLength; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i)
            password += static_cast<char>(byte(gen));
        std::string stored = Scramble(kPasswordKey, password, 1);
        ASSERT_EQ(Scramble(kPasswordKey, stored, 2), password) << "length " << length;
    }
    // Bytes equal to the key's give zero bytes in the work text; they survive too.
    EXPECT_EQ(Scramble(kPasswordKey, Scramble(kPasswordKey, "zepzep", 1), 2), "zepzep");
}

TEST(Scramble, StoredFormStaysWithinItsRanges) {
    for (int i = 0; i < 300; ++i) {
        std::string stored = Scramble(kPasswordKey, "abcdef", 1);
        ASSERT_EQ(stored.size() % 2, 0u);
        ASSERT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos) << stored;
        std::string bytes = hexDecode(stored);
        const int rounds = static_cast<unsigned char>(bytes[0]);
        ASSERT_GE(rounds, 3);
        ASSERT_LE(rounds, 253);
        ASSERT_EQ(static_cast<unsigned char>(bytes[1]), 6);
        const std::size_t tail = bytes.size() - 8;
        ASSERT_LE(tail, 20u);
        for (std::size_t t = 8; t < bytes.size(); ++t) {
            ASSERT_GE(static_cast<unsigned char>(bytes[t]), 3);
            ASSERT_LE(static_cast<unsigned char>(bytes[t]), 253);
        }
    }
}

TEST(Scramble, RefusesEmptyAndOverlongPasswords) {
    EXPECT_THROW(Scramble(kPasswordKey, "", 1), std::length_error);
    EXPECT_THROW(Scramble(kPasswordKey, std::string(256, 'a'), 1), std::length_error);
    EXPECT_EQ(Scramble(kPasswordKey, "", 2), "");
}

TEST(Scramble, DamagedStoredTextsGiveWhatTheyHoldWithoutFailing) {
    std::vector<std::string> reports;
    auto report = [&](const std::string& m) { reports.push_back(m); };
    // A pair that is not hexadecimal is reported and decodes to nothing.
    EXPECT_EQ(Scramble(kPasswordKey, "04ZZ03747073", 2, report), "key");
    ASSERT_EQ(reports, std::vector<std::string>{"Error in Hex string! (ZZ)"});
    // Too short to hold rounds and length; a length of 0; fewer bytes than the length says.
    EXPECT_EQ(Scramble(kPasswordKey, "04", 2), "");
    EXPECT_EQ(Scramble(kPasswordKey, "0400", 2), "");
    EXPECT_EQ(Scramble(kPasswordKey, "040974", 2).size(), 1u);
}

TEST(HexDecode, ReadsPairsWithOrWithoutTheirPrefix) {
    EXPECT_EQ(hexDecode("41&H42&h43"), "ABC"); // a prefix pair adds nothing
    EXPECT_EQ(hexDecode("4a4B"), "JK");
    EXPECT_EQ(hexEncode(std::string("\x00\x0f\xff", 3)), "000FFF");
}

} // namespace
} // namespace vellumite
