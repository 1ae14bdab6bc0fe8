// Starting programs without a shell: how a typed command is split, and a program that is missing.
#include "platform/detached_process.h"

#include <gtest/gtest.h>
#include <system_error>

namespace platform {
namespace {

TEST(DetachedProcess, CommandsSplitAtBlanksWithQuotesKeepingThem) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(splitCommand("libreoffice --writer"), (Words{"libreoffice", "--writer"}));
    EXPECT_EQ(splitCommand("  'My Writer'  -n \"a b\"c ''"), (Words{"My Writer", "-n", "a bc", ""}));
    EXPECT_EQ(splitCommand(" \t "), Words{});
}

TEST(DetachedProcess, AMissingProgramIsReportedAndPathLookupFindsRealOnes) {
    EXPECT_THROW(startDetached({"/nonexistent/word-processor", "x"}), std::system_error);
    EXPECT_THROW(startDetached({}), std::system_error);
    EXPECT_TRUE(findProgram("sh").has_value());
    EXPECT_FALSE(findProgram("no-such-program-here").has_value());
    EXPECT_FALSE(findProgram("/bin/sh").has_value());
}

} // namespace
} // namespace platform
