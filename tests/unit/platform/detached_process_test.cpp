// Starting programs without a shell: how a typed command is split, and a program that is missing.
#include "platform/detached_process.h"

#include <gtest/gtest.h>
#include <system_error>

namespace platform {
namespace {

TEST(DetachedProcess, CommandsSplitAtBlanksAndMissingProgramsAreReported) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(splitCommand("  'My Writer'  -n \"a b\"c ''"),
              (Words{"My Writer", "-n", "a bc", ""}));
    EXPECT_EQ(splitCommand(" \t "), Words{});
    EXPECT_THROW(startDetached({"/nonexistent/word-processor", "x"}), std::system_error);
    EXPECT_TRUE(findProgram("sh").has_value());
    EXPECT_FALSE(findProgram("no-such-program-here").has_value());
}

} // namespace
} // namespace platform
