#include "platform/regex.h"
#include "platform/text.h"

#include <gtest/gtest.h>
#include <random>

TEST(StripTags, RemovesTagsAcrossLinesAndLeavesLoneBrackets) {
    // "< 2 and 3 >" reads as a tag; "<>" is none, as a tag needs one character of its own.
    const std::pair<const char*, const char*> cases[] = {{"<b>bold</b> text", "bold text"},
                                                         {"a <span\nclass=x>b</span>", "a b"},
                                                         {"1 < 2 and 3 > 2", "1  2"},
                                                         {"a <> b", "a <> b"},
                                                         {"<>x>y", "y"},
                                                         {"<<b>>", ">"},
                                                         {"no tags", "no tags"},
                                                         {"trailing <", "trailing <"},
                                                         {"", ""}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(platform::stripTags(in), out) << in;
}

TEST(StripTags, GivesWhatThePatternGivesOnRandomText) {
    platform::Regex pattern("<(.|\\n)+?>", platform::Regex::CaseInsensitive);
    std::mt19937 rng(7);
    const std::string alphabet = "<>ab \n\r/";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int i = rng() % 24; i > 0; --i)
            text += alphabet[rng() % alphabet.size()];
        ASSERT_EQ(platform::stripTags(text), pattern.replaceAll(text, "")) << text;
    }
}

TEST(StripTags, LongTextWithoutClosingBracketIsLinear) {
    // Every "<" without a ">" after it would make a backtracking search quadratic.
    std::string text(2'000'000, '<');
    EXPECT_EQ(platform::stripTags(text), text);
    std::string tags;
    for (int i = 0; i < 200'000; ++i)
        tags += "<i>x";
    EXPECT_EQ(platform::stripTags(tags), std::string(200'000, 'x'));
}

TEST(Text, ReplaceAllNeverRescansWhatItInserted) {
    std::string s = "aXbXc";
    EXPECT_EQ(platform::replaceAll(s, "X", "XX"), 2u);
    EXPECT_EQ(s, "aXXbXXc");
    EXPECT_EQ(platform::replacedAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(platform::replacedAll("abc", "", "z"), "abc");
    EXPECT_EQ(platform::htmlEscape("<a href=\"x\">&</a>"),
              "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
}
