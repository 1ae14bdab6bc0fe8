#include "toolbar/query.h"

#include <gtest/gtest.h>

using namespace vellumite::toolbar;
using Lines = std::vector<std::string>;

TEST(NormaliseQuery, OperatorsSeparatePhrasesAndNotDropsWhatFollows) {
    const std::pair<const char*, Lines> cases[] = {
        {"Apple and pie", {"Apple", "pie"}},
        {"Apple not pie", {"Apple"}},
        {"Apple near pie", {"Apple", "pie"}},
        {"Apple or pie", {"Apple", "pie"}},
        {"apple pie AND Custard", {"apple pie", "Custard"}},
        // "or" phrases first, then "and", then "near", each in the order met
        {"a near b and c or d", {"a", "d", "c", "b"}},
        {"not pie", {}},
        {"Apple  and   pie", {"Apple", "pie"}},
        {"", {}},
        // a group after "and" is combined with the words before it
        {"Apple and (Pie or Tart)", {"Apple", "Apple", "pie", "tart"}},
        {"Apple and (pie near tart) not crumble", {"Apple", "Apple", "pie", "tart"}},
        // a group after any other word only loses its parentheses
        {"Apple (pie or tart)", {"Apple pie", "tart"}},
    };
    for (const auto& [line, phrases] : cases)
        EXPECT_EQ(normaliseQuery(line), phrases) << line;
}

TEST(ColourWalk, FromAnyStartItUsesIndexesOneToNineteenInTurn) {
    // Stepping by one from any start and wrapping after 19 keeps to 1..19 and meets each.
    for (int start = 0; start <= 19; ++start) {
        ColourWalk walk(start);
        int previous = start;
        for (int step = 0; step < 20; ++step) {
            walk.advance();
            EXPECT_EQ(walk.index(), previous >= 19 ? 1 : previous + 1) << "from " << start;
            EXPECT_NE(walk.colour(), "aqua");
            EXPECT_NE(walk.colour(), "yellow");
            previous = walk.index();
        }
    }
    for (int i = 0; i < 50; ++i) {
        int start = ColourWalk::random().index();
        EXPECT_TRUE(start >= 0 && start <= 19) << start;
    }
}

TEST(RemoveDuplicates, RepeatedLinesGoTheFirstStaysAsItWas) {
    // Lines are compared as they are, case and all.
    const std::pair<const char*, const char*> cases[] = {{"Apple\nPie\nApple", "Apple\nPie"},
                                                         {" Apple \nApple\nPie", " Apple \nPie"},
                                                         {"apple\nApple", "apple\nApple"},
                                                         {"only one", "only one"},
                                                         {"", ""},
                                                         {"a\n\nb\n", "a\n\nb"}};
    for (const auto& [list, result] : cases)
        EXPECT_EQ(removeDuplicatesfromlist(list), result) << list;
}

TEST(Terms, WholeWordsByTheFirstCharacterAndTermsThatMarkNothing) {
    // A term, whether it matches whole words only, and whether it marks nothing.
    const std::tuple<const char*, bool, bool> cases[] = {
        {"Bread", true, false},  {"Yak", true, false},    {"  Crumb", true, false},
        {"Apple", false, false}, {"Zebra", false, false}, {"bread", false, false},
        {"7up", false, false},   {"", false, true},       {"   ", false, true},
        {"...", false, true},    {"-- !", false, true},   {"\xc3\xa9t\xc3\xa9", false, false},
    };
    for (const auto& [term, wholeWords, nothing] : cases) {
        EXPECT_EQ(wholeWordsOnly(term), wholeWords) << term;
        EXPECT_EQ(marksNothing(term), nothing) << term;
    }
}
