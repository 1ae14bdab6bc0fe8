// Captured items: listed as text and deleted, in a capture database that
// the add-on's host holds open at the same time.
#include "editor/captures.h"
#include "editor_fixture.h"
#include "store/databases.h"
#include "support/site_database.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;

class Captures : public editor_tests::EditorTest {};

TEST_F(Captures, ListedAsTextAndDeletedAfterYes) {
    auto captures = testing_support::makeToolbarDatabase(dir / kToolbarDatabaseFile);
    const std::string text = "<script>parent.x=1</script>Rain <b>all</b> day & \"night\"";
    captures.execute("INSERT INTO captureItems (captureID, capturetext, captureURL) VALUES "
                     "(3, ?, 'http://w.example/?a=1&b=<2>')",
                     {text});
    subShowToolbarItems(app);
    const std::string list = page("toolbar.html");
    EXPECT_TRUE(contains(list, ">parent.x=1Rain all day &amp; &quot;night&quot;<"));
    EXPECT_TRUE(contains(list, ">http://w.example/?a=1&amp;b=<"));
    EXPECT_EQ(selectedTab() + " " + frameShown(0), "ahreftoolbar " + htmlPath("toolbar.html"));

    // Quoted into the post as it was stored: see the browser test of the tools.
    subDeleteCapture(app, 3); // answered No
    host.msgAnswers.push_back(platform::MsgResult::Yes);
    subDeleteCapture(app, 3);
    EXPECT_EQ(host.messages.back().text, "Are you sure you wish to delete this item?");
    EXPECT_EQ(captures.scalar("SELECT count(*) FROM captureItems").toText(), "0");
}

} // namespace
} // namespace vellumite
