// Captured items: listed as text, quoted into the post, deleted, in a capture database that the
// add-on's host writes as well.
#include "core/post_insert.h"
#include "editor/captures.h"
#include "editor_fixture.h"
#include "store/databases.h"
#include "support/site_database.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;

class Captures : public editor_tests::EditorTest {
protected:
    Captures() : captures(testing_support::makeToolbarDatabase(dir / kToolbarDatabaseFile)) {}
    std::int32_t capture(const std::string& text, const std::string& address) {
        captures.execute("INSERT INTO captureItems (capturetext, captureURL) VALUES (?, ?)",
                         {text, address});
        return static_cast<std::int32_t>(
            *captures.scalar("SELECT max(captureID) FROM captureItems").integer());
    }
    platform::Database captures; // held open, as the add-on's host may hold it
};

TEST_F(Captures, ListedAsTextQuotedIntoThePostAndDeletedAfterYes) {
    const std::string text = "<script>parent.x=1</script>Rain <b>all</b> day & \"night\"";
    const std::int32_t id = capture(text, "http://w.example/?a=1&b=<2>");
    subShowToolbarItems(app);
    const std::string list = page("toolbar.html");
    EXPECT_FALSE(contains(list, "<script>"));
    EXPECT_TRUE(contains(list, "parent.x=1Rain all day &amp; &quot;night&quot;"));
    EXPECT_TRUE(contains(list, "http://w.example/?a=1&amp;b="));
    EXPECT_EQ(selectedTab(), "ahreftoolbar");
    EXPECT_EQ(frameShown(0), htmlPath("toolbar.html"));

    formField(std::string(kPostBox)) = "Mine";
    subQuoteCapture(app, id);
    EXPECT_EQ(formField(std::string(kPostBox)), "Mine\r<blockquote><i>" + text + "</i></blockquote>");

    subDeleteCapture(app, id); // answered No
    host.msgAnswers.push_back(platform::MsgResult::Yes);
    subDeleteCapture(app, id);
    EXPECT_EQ(host.messages.back().text, "Are you sure you wish to delete this item?");
    EXPECT_EQ(captures.scalar("SELECT count(*) FROM captureItems").toText(), "0");
    subQuoteCapture(app, id);
    EXPECT_EQ(host.messages.back().text,
              "The captured item " + std::to_string(id) + " no longer exists.");
}

} // namespace
} // namespace vellumite
