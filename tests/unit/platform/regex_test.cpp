#include "platform/regex.h"
#include "platform/text.h"

#include <gtest/gtest.h>

using platform::Regex;
using platform::RegexError;

TEST(Regex, CaseAndLineFeedOnlyWhenAskedAndEmptyMatchesAdvance) {
    auto m = Regex("<body.*?>", Regex::CaseInsensitive).find("x<BODY lang=en>y");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->offset, 1u);
    EXPECT_EQ(m->length, 14u);
    EXPECT_FALSE(Regex("<body>").matches("<BODY>"));
    EXPECT_EQ(Regex("a|b", Regex::CaseInsensitive).replaceAll("AxbXa", "$1\\"), "$1\\x$1\\X$1\\");
    EXPECT_FALSE(Regex("a.b").matches("a\nb"));
    EXPECT_TRUE(Regex("a.b", Regex::DotAll).matches("a\nb"));
    EXPECT_TRUE(Regex("a.b").matches("a\rb"));
    EXPECT_EQ(Regex("x*").findAll("abc").size(), 4u);
    EXPECT_EQ(Regex("x*").replaceAll("ab", "-"), "-a-b-");
}

TEST(Regex, BadPatternAndRunawaySearchAreErrors) {
    EXPECT_THROW(Regex("(unclosed"), RegexError);
    // Nested quantifiers on a long subject: stopped by the work limit, not by the stack.
    Regex runaway("^(a+)+$");
    std::string subject(40, 'a');
    subject += 'b';
    EXPECT_THROW(runaway.find(subject), RegexError);
}

TEST(Regex, LongSubjectsDoNotOverflowTheStack) {
    Regex tag("<(.|\\n)+?>");
    std::string post = "<" + std::string(100'000, 'x') + ">"; // a long post body
    auto m = tag.find(post);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->length, post.size());
    // Far beyond any page: a clear error or the right match, never a crash.
    std::string huge = "<" + std::string(8'000'000, 'x') + ">";
    try {
        auto h = tag.find(huge);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->length, huge.size());
    } catch (const RegexError& e) {
        EXPECT_NE(std::string(e.what()).find("limit"), std::string::npos) << e.what();
    }
}
