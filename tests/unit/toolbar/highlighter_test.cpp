#include "recording_browser.h"
#include "support/temp_dir.h"
#include "toolbar/highlighter.h"

#include <gtest/gtest.h>

using namespace vellumite::toolbar;
using testing_support::RecordingBrowser;
using Calls = std::vector<std::string>;

namespace {

struct HighlighterTest : ::testing::Test {
    testing_support::TempDir dir;
    SettingsFile settings{dir / "vellumitebar.ini"};
    RecordingBrowser browser;
    // Walks start at 0, so the first colour is "blueviolet", then "CHARTREUSE", ...
    Highlighter highlighter{browser, settings, [] { return ColourWalk(0); }};

    void SetUp() override {
        browser.counts = {{"Apple", 2}, {"pie", 3}, {"Bread", 1}};
        highlighter.tabActivated(5, "http://a.test/");
    }
    void lines(std::vector<std::string> items, std::string searchList = "") {
        std::vector<std::pair<std::string, std::string>> values{{"searchlist", searchList}};
        for (std::size_t i = 0; i < 10; ++i)
            values.emplace_back("useritem" + std::to_string(i + 1),
                                i < items.size() ? items[i] : "");
        settings.set(kUserSection, values);
    }
};

} // namespace

TEST_F(HighlighterTest, EachTermInTheNextColourAndTheCounterAddsUp) {
    // The lines saved, the marks they make after the page's clearing, and the counter.
    const std::tuple<std::vector<std::string>, Calls, const char*> cases[] = {
        {{"Apple and pie"}, {"mark 5 Apple blueviolet", "mark 5 pie CHARTREUSE"}, "5"},
        {{"Apple not pie"}, {"mark 5 Apple blueviolet"}, "2"},
        {{"Apple near pie"}, {"mark 5 Apple blueviolet", "mark 5 pie CHARTREUSE"}, "5"},
        {{"Apple", "", "Apple", "Bread"},
         {"mark 5 Apple blueviolet", "mark 5 Bread CHARTREUSE words"},
         "3"},
        {{"...", "Apple or ---", "-------"}, {"mark 5 Apple CHARTREUSE"}, "2"},
    };
    for (const auto& [items, marks, counter] : cases) {
        lines(items);
        highlighter.documentComplete(5, "http://a.test/");
        Calls expected = {"clear 5"};
        expected.insert(expected.end(), marks.begin(), marks.end());
        EXPECT_EQ(browser.taken(), expected) << items[0];
        EXPECT_EQ(browser.view.counter, counter) << items[0];
    }
}

TEST_F(HighlighterTest, SearchListComesFirstAndALineSavedTwiceIsMarkedOnce) {
    lines({"pie", "Apple"}, "Apple\npie");
    EXPECT_EQ(searchLines(settings), (std::vector<std::string>{"Apple", "pie"}));
    highlighter.documentComplete(5, "http://a.test/");
    EXPECT_EQ(browser.taken(),
              (Calls{"clear 5", "mark 5 Apple blueviolet", "mark 5 pie CHARTREUSE"}));
}

TEST_F(HighlighterTest, ANavigationOrSwitchingOffDuringAPassEndsItWithTheCounterAtNought) {
    lines({"Apple and pie"});
    browser.whileMarking = [&](const std::string&) { highlighter.beforeNavigate(5, "http://b/"); };
    highlighter.documentComplete(5, "http://a.test/");
    EXPECT_EQ(browser.taken(), (Calls{"clear 5", "mark 5 Apple blueviolet"}));
    EXPECT_EQ(browser.view.counter, "0");

    browser.whileMarking = [&](const std::string&) { highlighter.switchOff(false); };
    highlighter.documentComplete(5, "http://b/");
    EXPECT_EQ(browser.taken(), (Calls{"clear 5", "mark 5 Apple blueviolet", "clear 5"}));
    EXPECT_EQ(browser.view, (BandView{false, "0", false}));
    highlighter.documentComplete(5, "http://c/");
    EXPECT_TRUE(browser.taken().empty()) << "nothing is highlighted while switched off";
}

TEST_F(HighlighterTest, ThePadlockIsSharedWithEveryWindowThroughTheSettings) {
    lines({"Apple"});
    RecordingBrowser otherBrowser;
    Highlighter other{otherBrowser, settings, [] { return ColourWalk(3); }};
    other.tabActivated(9, "http://o/");
    highlighter.documentComplete(6, "http://loaded-in-the-background/");
    browser.taken();

    highlighter.togglePadlock(); // the band's look when off: see the browser test
    EXPECT_EQ(settings.get("USERDETAILS", "HIGHLIGHTS"), "off");
    EXPECT_EQ(browser.taken(), (Calls{"clear 5", "clear 6"}));

    other.followStoredState();
    EXPECT_FALSE(other.enabled());
    EXPECT_EQ(otherBrowser.taken(), (Calls{"clear 9"}));

    settings.set("userdetails", "Highlights", "on");
    other.followStoredState();
    EXPECT_TRUE(other.enabled());
    EXPECT_EQ(otherBrowser.taken(), (Calls{"clear 9", "mark 9 Apple darkorange"}));
    other.followStoredState();
    EXPECT_TRUE(otherBrowser.taken().empty()) << "nothing to follow";

    highlighter.beforeNavigate(6, "http://still-loading/");
    highlighter.togglePadlock();
    EXPECT_EQ(browser.taken(), (Calls{"clear 5", "mark 5 Apple blueviolet"}))
        << "the current page first; a page still loading waits for its document";
    EXPECT_EQ(browser.view, (BandView{true, "2", true}));
}
