// The current-posts list: which rows each set shows, its paging links, its entries and its
// failure report.
#include "editor/current_posts.h"
#include "editor_fixture.h"
#include "platform/files.h"

#include <functional>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;
using editor_tests::EditorTest;

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
};

// The links between sets and paging through them: see the paging plan and the browser test.
TEST_F(CurrentPosts, OnlyThisSitesPublishedPostsInKeyOrderWithinASecond) {
    for (int i = 1; i <= 11; ++i)
        addPost("same" + std::to_string(i), "2024-05-01", "10:00:00");
    addPost("draft", "2024-05-02", "12:00:00", 0);
    const std::int32_t mine = app.logId;
    app.logId = addSite("Other");
    addPost("elsewhere", "2024-05-03");
    app.logId = mine;
    // Newest first: of two posts of the same second, the later key is the newer.
    EXPECT_EQ(titles(build(1)).front(), "same11");
    EXPECT_EQ(titles(build(2)), std::vector<std::string>{"same1"});
    EXPECT_EQ(app.currentSet, 2);
    setSite("PublishBackwards", true);
    EXPECT_EQ(titles(build(1)).front(), "same1");
    EXPECT_EQ(titles(build(2)), std::vector<std::string>{"same11"});
}

TEST_F(CurrentPosts, EntryLinksForCategoryAndHighlights) {
    const std::int32_t plain = addPost("plain", "2024-05-02");
    const std::int32_t filed = addPost("filed", "2024-05-01");
    db.execute("UPDATE VellumitePosts SET Category='Travel & food', boolDisplayInViewRecent=-1 "
               "WHERE postID=?",
               {filed});
    const std::string text = build(1);
    const std::string p = std::to_string(plain), f = std::to_string(filed);
    for (const std::string& link :
         {"<a href=<$category-" + p + ">[Add to Category]</a>",
          "<a href=<$recentpostadd-" + p + ">[Add to Highlights]</a>",
          "<a href=<$removecategory-" + f + ">[Remove from \"Travel &amp; food\"]</a>",
          "<$edit-" + p + "$>", "<$delete-" + f + "$>", std::string("2024-05-02 12:00:00")})
        EXPECT_TRUE(contains(text, link)) << link;
    EXPECT_FALSE(contains(text, "<$recentpostadd-" + f));
}

TEST_F(CurrentPosts, StoredTextNeverBecomesMarkup) {
    addPost("A <b\nclass=x>bold</b> move", "2024-05-03", "12:00:00", 1, "body", "by <i>me</i>");
    addPost("\"><img src=x onerror=alert(1)>", "2024-05-02");
    addPost("Joe&#39;s day < 3 & more", "2024-05-01");
    const std::string text = build(1);
    EXPECT_EQ(titles(text), (std::vector<std::string>{"A bold move", "&quot;&gt;",
                                                      "Joe&#39;s day &lt; 3 &amp; more"}));
    EXPECT_TRUE(contains(text, "<span class=\"byline\">by me</span>"));
    EXPECT_FALSE(contains(text, "<img"));
    EXPECT_FALSE(contains(text, "onerror"));
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
