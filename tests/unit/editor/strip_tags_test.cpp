#include "editor/external_body.h"
#include "editor/strip_tags.h"
#include "platform/regex.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <random>

using namespace vellumite;

TEST(StripTags, RemovesTagsAcrossLinesAndLeavesLoneBrackets) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"<b>bold</b> text", "bold text"},
        {"a <span\nclass=x>b</span>", "a b"},
        {"1 < 2 and 3 > 2", "1  2"}, // "< 2 and 3 >" reads as a tag
        {"a <> b", "a <> b"},        // a tag needs one character of its own
        {"<>x>y", "y"},
        {"<<b>>", ">"},
        {"no tags", "no tags"},
        {"trailing <", "trailing <"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripTags(c.in), c.out) << c.in;
}

TEST(StripTags, GivesWhatThePatternGivesOnRandomText) {
    platform::Regex pattern("<(.|\\n)+?>", platform::Regex::CaseInsensitive);
    std::mt19937 rng(7);
    const std::string alphabet = "<>ab \n\r/";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int i = rng() % 24; i > 0; --i)
            text += alphabet[rng() % alphabet.size()];
        ASSERT_EQ(StripTags(text), pattern.replaceAll(text, "")) << text;
    }
}

TEST(StripTags, LongTextWithoutClosingBracketIsLinear) {
    // Every "<" without a ">" after it would make a backtracking search quadratic.
    std::string text(2'000'000, '<');
    EXPECT_EQ(StripTags(text), text);
    std::string tags;
    for (int i = 0; i < 200'000; ++i)
        tags += "<i>x";
    EXPECT_EQ(StripTags(tags), std::string(200'000, 'x'));
}

TEST(ExternalBody, OnlyTheMarkerAloneReadsTheDocumentAndItsEdgesAreKept) {
    EXPECT_TRUE(isExternalBody(" <!External Element> "));
    EXPECT_FALSE(isExternalBody("<!External Element> and more"));
    testing_support::TempDir dir;
    EXPECT_EQ(ReadExternalBody("plain <b>body</b>", 4, dir.path(), 1), "plain <b>body</b>");
    EXPECT_EQ(externalBodyFromDocument("just text"), "\njust text");
    EXPECT_EQ(externalBodyFromDocument("<body></body>"), "");
    EXPECT_EQ(externalBodyFromDocument(
                  "<BODY x>\r\n<p class=\"MsoTitle\" align=center>T</p>\r\n</body>\r\n"),
              "\n<p align=center>T</p>");
}
