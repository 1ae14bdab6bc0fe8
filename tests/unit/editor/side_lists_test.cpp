// The lists beside the post editor: which highlights are listed, and links shown as text.
#include "editor/side_lists.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;

class SideLists : public editor_tests::EditorTest {};

TEST_F(SideLists, HighlightsComeFromTheNewestTotalPublishPostsDraftsIncluded) {
    setSite("TotalPublishPosts", 10);
    addPosts(11); // p1 newest … p11 the 11th newest
    auto id = [&](const std::string& title) {
        return static_cast<std::int32_t>(
            *db.scalar("SELECT postID FROM VellumitePosts WHERE posttitle=?", {title}).integer());
    };
    const std::int32_t draft = addPost("picked draft", "2024-05-01", "23:59:30", 0);
    for (const char* title : {"p3", "p10", "p11", "picked draft"})
        subSetHighlight(app, id(title), true);
    std::string list = page("recentposts.html");
    EXPECT_TRUE(contains(list, ">picked draft<") && contains(list, ">p3<"));
    EXPECT_FALSE(contains(list, ">p10<")) << "p10 is the 11th newest once the draft counts";
    EXPECT_FALSE(contains(list, ">p11<"));
    EXPECT_EQ(frameShown(2), htmlPath("recentposts.html"));
    EXPECT_EQ(selectedTab(), "ahrefrecentposts");

    subSetHighlight(app, draft, false);
    EXPECT_FALSE(contains(page("recentposts.html"), "picked draft"));
    EXPECT_EQ(post(draft, "boolDisplayInViewRecent"), "0");
}

TEST_F(SideLists, ALinkTextWithMarkupIsListedWithoutItsTags) {
    db.execute(
        "INSERT INTO VellumiteLinks (LogID, linktext, linkurl) VALUES (?, ?, 'http://x')",
        {app.logId, "<b>Bold</b> <img src=x onerror=alert(1)>friend & <i\nclass=a>co</i> <3"});
    subBuildUserLinks(app);
    EXPECT_TRUE(contains(page("userlinks.html"), ">Bold friend &amp; co &lt;3</a>"));
}

} // namespace
} // namespace vellumite
