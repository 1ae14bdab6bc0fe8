// The current-posts list: which rows each set shows, its paging links, its entries and its
// failure report.
#include "editor/current_posts.h"
#include "editor_fixture.h"

#include <functional>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::EditorTest;
using editor_tests::occurrences;

std::vector<std::int64_t> range(std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> out;
    for (std::int64_t r = from; from <= to ? r <= to : r >= to; r += from <= to ? 1 : -1)
        out.push_back(r);
    return out;
}

TEST(PostSetPlan, RowsAndLinks) {
    using Opt = std::optional<std::int64_t>;
    struct Case {
        const char* what;
        std::int32_t set, total;
        std::int64_t published;
        bool ascending;
        std::vector<std::int64_t> rows;
        std::int64_t sets;
        Opt next, previous;
        bool start;
        Opt end;
    };
    const Case cases[] = {
        {"no posts", 1, 25, 0, false, {}, 0, {}, {}, false, {}},
        {"T25 N40 set 1", 1, 25, 40, false, range(1, 10), 3, 2, {}, false, 3},
        {"T25 N40 set 2", 2, 25, 40, false, range(11, 20), 3, 3, 1, true, 3},
        {"T25 N40 set 3 capped by T", 3, 25, 40, false, range(21, 25), 3, {}, 2, true, {}},
        {"T8 sets of 8", 1, 8, 20, false, range(1, 8), 1, {}, {}, false, {}},
        {"T11 set 2", 2, 11, 40, false, {11}, 2, {}, 1, false, {}},
        {"ascending set 1", 1, 25, 40, true, range(25, 16), 3, 2, {}, false, 3},
        {"ascending set 3", 3, 25, 40, true, range(5, 1), 3, {}, 2, true, {}},
        {"fewer posts than T", 1, 25, 7, false, range(1, 7), 1, {}, {}, false, {}},
        {"ascending, fewer posts than T", 1, 25, 7, true, range(7, 1), 1, {}, {}, false, {}},
        {"a set past the end", 5, 25, 40, false, {}, 3, {}, 4, true, 3},
    };
    for (const auto& c : cases) {
        PostSetPlan plan = planPostSet(c.set, c.total, c.published, c.ascending);
        EXPECT_EQ(plan.rows, c.rows) << c.what;
        EXPECT_EQ(plan.sets, c.sets) << c.what;
        EXPECT_EQ(plan.next, c.next) << c.what;
        EXPECT_EQ(plan.previous, c.previous) << c.what;
        EXPECT_EQ(plan.start, c.start) << c.what;
        EXPECT_EQ(plan.end, c.end) << c.what;
    }
}

class CurrentPosts : public EditorTest {
protected:
    std::string build(std::int32_t set) {
        subBuildCurrentPosts(app, set);
        return page("currentposts.html");
    }
    static std::string pager(const std::string& page) {
        auto from = page.find("<nav class=\"pager\"");
        auto to = page.find("</nav>", from);
        return page.substr(from, to - from);
    }
};

TEST_F(CurrentPosts, EmptySiteHasAnEmptyListAndNoLinks) {
    std::string text = build(1);
    EXPECT_EQ(occurrences(text, "<li>"), 0u);
    EXPECT_NE(text.find("<VellumiteNewsFeed>\r</VellumiteNewsFeed>"), std::string::npos);
    EXPECT_EQ(pager(text), "<nav class=\"pager\" aria-label=\"Sets of posts\">  <span "
                           "class=\"jumps\"></span>  ");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CurrentPosts, MiddleSetOfForty) {
    addPosts(40);
    std::string text = build(2);
    EXPECT_EQ(occurrences(text, "<li>"), 10u);
    EXPECT_NE(text.find(">p11</a>"), std::string::npos);
    EXPECT_NE(text.find(">p20</a>"), std::string::npos);
    EXPECT_EQ(text.find(">p10</a>"), std::string::npos);
    EXPECT_EQ(text.find(">p21</a>"), std::string::npos);
    EXPECT_LT(text.find(">p11</a>"), text.find(">p20</a>"));
    EXPECT_EQ(pager(text),
              "<nav class=\"pager\" aria-label=\"Sets of posts\"><a href=<$jumptoset-1$> Start "
              "</a>| <a href=<$showprev-1> Previous </a> | <span class=\"jumps\">  <a "
              "href=<$jumptoset-1$>1</a>| 2 |  <a href=<$jumptoset-3$>3</a>|</span> <a "
              "href=<$shownext-3> Next </a> <a href=<$jumptoset-3> End </a>|");
    EXPECT_EQ(app.currentSet, 2);
    EXPECT_NE(text.find("data-site=\"" + std::to_string(app.logId) + "\""), std::string::npos);
}

TEST_F(CurrentPosts, AscendingSiteListsTheOldestFrontPagePostFirst) {
    setSite("PublishBackwards", true);
    addPosts(40);
    std::string text = build(1);
    EXPECT_EQ(occurrences(text, "<li>"), 10u);
    EXPECT_LT(text.find(">p25</a>"), text.find(">p24</a>"));
    EXPECT_LT(text.find(">p17</a>"), text.find(">p16</a>"));
    EXPECT_EQ(text.find(">p15</a>"), std::string::npos);
}

TEST_F(CurrentPosts, PostsOfTheSameSecondKeepTheirOrder) {
    for (int i = 1; i <= 12; ++i)
        addPost("same" + std::to_string(i), "2024-05-01", "10:00:00");
    std::string text = build(1);
    // Newest first: the later key is the newer post.
    EXPECT_LT(text.find(">same12</a>"), text.find(">same11</a>"));
    EXPECT_EQ(text.find(">same2</a>"), std::string::npos);
    EXPECT_NE(build(2).find(">same2</a>"), std::string::npos);
}

TEST_F(CurrentPosts, DraftsAndOtherSitesAreNotListed) {
    addPost("published", "2024-05-01");
    addPost("draft", "2024-05-02", "12:00:00", 0);
    std::int32_t mine = app.logId;
    app.logId = addSite("Other");
    addPost("elsewhere", "2024-05-03");
    app.logId = mine;
    std::string text = build(1);
    EXPECT_EQ(occurrences(text, "<li>"), 1u);
    EXPECT_NE(text.find(">published</a>"), std::string::npos);
}

TEST_F(CurrentPosts, EntryLinksForCategoryAndHighlights) {
    std::int32_t plain = addPost("plain", "2024-05-02");
    std::int32_t filed = addPost("filed", "2024-05-01");
    db().execute("UPDATE VellumitePosts SET Category='Travel & food', boolDisplayInViewRecent=-1 "
                 "WHERE postID=?",
                 {filed});
    std::string text = build(1);
    std::string p = std::to_string(plain), f = std::to_string(filed);
    EXPECT_NE(text.find("<a href=<$category-" + p + ">[Add to Category]</a>"), std::string::npos);
    EXPECT_NE(text.find("<a href=<$recentpostadd-" + p + ">[Add to Highlights]</a>"),
              std::string::npos);
    EXPECT_NE(
        text.find("<a href=<$removecategory-" + f + ">[Remove from \"Travel &amp; food\"]</a>"),
        std::string::npos);
    EXPECT_EQ(text.find("<$recentpostadd-" + f), std::string::npos);
    EXPECT_NE(text.find("<$edit-" + p + "$>"), std::string::npos);
    EXPECT_NE(text.find("<$delete-" + f + "$>"), std::string::npos);
    EXPECT_NE(text.find("2024-05-02 12:00:00"), std::string::npos);
}

TEST_F(CurrentPosts, StoredTextNeverBecomesMarkup) {
    addPost("A <b\nclass=x>bold</b> move", "2024-05-03", "12:00:00", 1, "body", "by <i>me</i>");
    addPost("\"><img src=x onerror=alert(1)>", "2024-05-02");
    addPost("Joe&#39;s day < 3 & more", "2024-05-01");
    std::string text = build(1);
    EXPECT_NE(text.find(">A bold move</a>"), std::string::npos);
    EXPECT_NE(text.find("<span class=\"byline\">by me</span>"), std::string::npos);
    EXPECT_EQ(text.find("<img"), std::string::npos);
    EXPECT_EQ(text.find("onerror"), std::string::npos); // stripped with its tag
    EXPECT_NE(text.find(">&quot;&gt;</a>"), std::string::npos);
    EXPECT_NE(text.find(">Joe&#39;s day &lt; 3 &amp; more</a>"), std::string::npos);
}

TEST_F(CurrentPosts, FailuresAreReportedWithTheStepTheyStoppedAt) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string message;
    };
    const auto templatePath = dir / "html" / "template-currentposts.html";
    const Case cases[] = {
        {"missing template", [&] { std::filesystem::remove(templatePath); },
         "The page template html/template-currentposts.html is missing from " +
             dir.path().string() + ".::opening first text file"},
        {"no closing marker",
         [&] {
             platform::files::writeFileAtomic(templatePath,
                                              "<ul><VellumiteNewsFeed><li></li></ul>");
         },
         "The page template template-currentposts.html has no </VellumiteNewsFeed> "
         "marker.::set replace chunk"},
        {"no such site", [&] { app.logId = 999; }, "No current record.::opening rstactiveuser"},
    };
    for (const auto& c : cases) {
        host.messages.clear();
        c.arrange();
        EXPECT_NO_THROW(subBuildCurrentPosts(app, 1)) << c.what;
        ASSERT_EQ(host.messages.size(), 1u) << c.what;
        EXPECT_EQ(host.messages[0].text, c.message) << c.what;
        EXPECT_EQ(host.messages[0].title, "Vellumite");
        EXPECT_FALSE(std::filesystem::exists(dir / "html" / "currentposts.html")) << c.what;
    }
}

} // namespace
} // namespace vellumite
