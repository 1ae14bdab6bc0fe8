#include "store/readers.h"

#include <gtest/gtest.h>

using platform::Value;
using namespace vellumite;

TEST(Readers, NullReadsAsEmptyTextOrThreeAndKeysKeep32Bits) {
    EXPECT_EQ(readText(Value()) + readText(Value("secret")) + readText(Value(7)), "secret7");
    // 40000 is past 16 bits: keys must not wrap onto another row.
    const std::pair<Value, std::int32_t> cases[] = {
        {Value(), 3},      {Value(""), 3},        {Value(0), 0},
        {Value(7.9), 7},   {Value(-7.9), -7},     {Value("12abc"), 12},
        {Value(true), -1}, {Value(40000), 40000}, {Value(1e12), 2147483647}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(readInt(in), out) << in.toText();
}
