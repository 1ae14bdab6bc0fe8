// The tools that change the post box: wrapping its selection, and quoting items into it.
#include "core/post_insert.h"
#include "editor/post_tools.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class PostTools : public editor_tests::EditorTest {
protected:
    std::string& body() { return formField(std::string(kPostBox)); }
    void select(std::size_t start, std::size_t end) {
        content().select(std::string(kPostForm), std::string(kPostBox), start, end);
    }
    std::string selected() {
        const auto& s = *content().selection;
        return body().substr(s.start, s.end - s.start);
    }
};

TEST_F(PostTools, WrappingReplacesTheSelectionWhichStaysSelected) {
    content().form("linkurlfrm", {{"linkurltext", "http://x.example"}});
    const struct {
        WrapTool tool;
        const char* result;
    } cases[] = {{WrapTool::Bold, "<b>word</b>"},
                 {WrapTool::Italic, "<i>word</i>"},
                 {WrapTool::Underline, "<u>word</u>"},
                 {WrapTool::BlockQuote, "<blockquote>word</blockquote>"}};
    for (const auto& c : cases) {
        body() = "a word here";
        select(2, 6);
        subWrapSelection(app, c.tool);
        EXPECT_EQ(body(), std::string("a ") + c.result + " here");
        EXPECT_EQ(selected(), c.result);
    }
    select(0, 1);
    subSetLink(app);
    EXPECT_EQ(selected(), "<a href=http://x.example>a</a>");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(PostTools, AnEmptySelectionIsSaidExceptForTheBlockQuote) {
    body() = "text";
    select(2, 2);
    subWrapSelection(app, WrapTool::BlockQuote);
    EXPECT_TRUE(host.messages.empty());
    subWrapSelection(app, WrapTool::Bold);
    EXPECT_FALSE(postTextSelected(app));
    EXPECT_EQ(body(), "text");
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "No text selected!  Highlight some text and then select this option again.");

    content().select(std::string(kPostForm), "VellumiteTitle", 0, 0);
    EXPECT_FALSE(keepImagePlace(app).has_value());
    select(1, 1);
    EXPECT_TRUE(keepImagePlace(app).has_value());
    EXPECT_EQ(host.messages.back().text, std::string(kCursorNotInPost));
}

TEST_F(PostTools, QuotesGoAtTheEndOfThePostsOwnTextBeforeItsPopupBlocks) {
    const std::string block = std::string(kPopupBlockStart) + "<DIV>…</DIV><!-- ---------------- -->";
    const struct {
        std::string body, result;
    } cases[] = {
        {"", " \r<blockquote><i>Q</i></blockquote>"},
        {"mine", "mine\r<blockquote><i>Q</i></blockquote>"},
        {"mine\r\r\r\r" + block,
         "mine\r\r\r\r\r<blockquote><i>Q</i></blockquote>\r\r\r" + block},
        {"a" + block + block, "a\r<blockquote><i>Q</i></blockquote>\r\r\r" + block + "\r\r\r" + block},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quotedBody(c.body, "Q"), c.result) << c.body;
}

TEST_F(PostTools, ANewsAlertIsQuotedWithItsPlusSignsAsSpaces) {
    db.execute("INSERT INTO vellumitenewsfeeds (alertid, LogID, title, body, url) VALUES "
               "(4, ?, 'Big+news', 'It+happened <b>today</b>', 'http://n.example/a+b')",
               {app.logId});
    subQuoteNewsAlert(app, 4);
    EXPECT_EQ(body(), " \r<blockquote><i>Big news\rIt happened <b>today</b>\r</i></blockquote>");
    subQuoteNewsAlert(app, 5);
    EXPECT_EQ(host.messages.back().text, "The news alert 5 no longer exists.");
}

} // namespace
} // namespace vellumite
