#include "store/readers.h"

#include <gtest/gtest.h>

using platform::Value;
using namespace vellumite;

TEST(Readers, NullReadsAsEmptyTextOrThreeAndKeysKeep32Bits) {
    EXPECT_EQ(readText(Value()) + readText(Value("secret")) + readText(Value(7)), "secret7");
    struct Case {
        Value in;
        std::int32_t out;
    } cases[] = {
        {Value(), 3},
        {Value(""), 3},
        {Value(0), 0},
        {Value(7.9), 7},
        {Value(-7.9), -7},
        {Value("12abc"), 12},
        {Value(true), -1},
        {Value(40000), 40000}, // past 16 bits: keys must not wrap onto another row
        {Value(1e12), 2147483647},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readInt(c.in), c.out) << c.in.toText();
}
