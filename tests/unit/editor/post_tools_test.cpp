// Quoting items into the post box: where the quote lands, and a news-alert item's text.
#include "core/post_insert.h"
#include "editor/post_tools.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(PostTools, QuotesGoAtTheEndOfThePostsOwnTextBeforeItsPopupBlocks) {
    const std::string block = std::string(kPopupBlockStart) + "<DIV>…</DIV><!-- --- -->";
    const std::string q = "<blockquote><i>Q</i></blockquote>";
    const std::pair<std::string, std::string> cases[] = {
        {"", " \r" + q},
        {"mine", "mine\r" + q},
        {"mine\r\r\r\r" + block, "mine\r\r\r\r\r" + q + "\r\r\r" + block},
        {"a" + block + block, "a\r" + q + "\r\r\r" + block + "\r\r\r" + block},
    };
    for (const auto& [body, result] : cases)
        EXPECT_EQ(quotedBody(body, "Q"), result) << body;
}

class NewsAlerts : public editor_tests::EditorTest {};

TEST_F(NewsAlerts, AreQuotedWithTheirPlusSignsAsSpaces) {
    db.execute("INSERT INTO vellumitenewsfeeds (alertid, LogID, title, body, url) VALUES "
               "(4, ?, 'Big+news', 'It+happened <b>today</b>', 'http://n.example/a+b')",
               {app.logId});
    subQuoteNewsAlert(app, 4);
    EXPECT_EQ(formField(std::string(kPostBox)),
              " \r<blockquote><i>Big news\rIt happened <b>today</b>\r</i></blockquote>");
    EXPECT_EQ(content().focused, std::vector<std::string>{std::string(kPostBox)});
    subQuoteNewsAlert(app, 5);
    EXPECT_EQ(host.messages.back().text, "The news alert 5 no longer exists.");
}

} // namespace
} // namespace vellumite
