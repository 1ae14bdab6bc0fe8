// The content edit page: blank, in place and copy forms, the word-processor panel, the frame
// pages and section tabs around it, stored text kept as text, and a missing template.
#include "core/fill_engine.h"
#include "editor/content_edit.h"
#include "editor_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;
using editor_tests::EditorTest;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class ContentEdit : public EditorTest {
protected:
    std::string show(std::int32_t postId, int mode) {
        subShowContentEdit(app, postId, mode);
        return page("contentedit.html");
    }
};

TEST_F(ContentEdit, BlankEditorComesToTheFrontWithItsFramePagesOnTheCurrentSet) {
    addPosts(25);
    app.currentSet = 2;
    setSite("recentpostnum", 7);
    setSite("Resourceusername", "ann");
    std::string text = show(kBlankPost, 0);
    EXPECT_TRUE(contains(text, "<title>My weblog - Vellumite</title>"));
    EXPECT_TRUE(contains(text, "<a href=\"<$savedraft$>\">SAVE AS DRAFT</a>"));
    EXPECT_TRUE(contains(text, "class=\"WordEditDivhide\""));
    for (const char* tag : {"<$Vellumite", "<$vellumite", "<$WordEditDiv", "<$PostEditDiv$>"})
        EXPECT_FALSE(contains(text, tag)) << tag;
    EXPECT_TRUE(contains(page("currentposts.html"), ">p11</a>"));
    EXPECT_EQ(app.currentSet, 2);
    for (const char* built : {"userlinks.html", "recentposts.html", "anchor.html"})
        EXPECT_TRUE(std::filesystem::exists(dir / "html" / built)) << built;
    EXPECT_EQ(host.frontPane(), pane::Content);
    EXPECT_TRUE(host.messages.empty());
    // Which highlights are listed: see the side lists' test.
    EXPECT_TRUE(contains(page("recentposts.html"), "name=\"recentpostnum\" value=\"7\""));

    // The resource account is shown only when the user asked to have it remembered.
    EXPECT_TRUE(contains(text, "name=\"importusername\" value=\"\""));
    setSite("rememberdetails", true);
    EXPECT_TRUE(contains(show(kBlankPost, 0), "name=\"importusername\" value=\"ann\""));
}

// The stored text of a draft shown to edit: see the browser test of the editor.
TEST_F(ContentEdit, ADraftIsSavedInPlaceAndACopyAsANewDraft) {
    const std::int32_t draft = addPost("Draft", "2024-05-01", "12:00:00", 0);
    EXPECT_TRUE(contains(show(draft, kEditInPlace), "<$draftedit-" + std::to_string(draft) + "$>"));
    const std::string copy = show(addPost("Old", "2024-04-01"), 0);
    EXPECT_TRUE(contains(copy, "<a href=\"<$post$>\">POST</a>"));
    // Never saved over the post it came from.
    EXPECT_TRUE(contains(copy, "<a href=\"<$savedraft$>\">SAVE AS DRAFT</a>"));
    EXPECT_FALSE(contains(copy, "<$draftedit"));
}

TEST_F(ContentEdit, ExternalElementShowsTheWordProcessorPanel) {
    const std::int32_t id = addPost("Long", "2024-05-01", "12:00:00", 1, "  <!External Element> ");
    const std::string text = show(id, kEditInPlace);
    EXPECT_TRUE(contains(text, "class=\"WordEditDivshow\""));
    EXPECT_TRUE(contains(text, "class=\"defaultviewhide\""));
    EXPECT_TRUE(contains(text, "<a href='<$mswordedit-" + std::to_string(id) + "'>"));
    EXPECT_TRUE(contains(text, "aria-label=\"Post\"></textarea>")); // the marker is not shown
    EXPECT_TRUE(std::filesystem::exists(dir / "html" / "editword.gif"));
}

TEST_F(ContentEdit, StoredTextNeverBecomesTheEditorsMarkup) {
    const std::string body = "\nfirst line</textarea><script>alert(1)</script>&amp; <$post$>";
    const std::int32_t id = addPost("\"><img src=x onerror=alert(1)>", "2024-05-01", "12:00:00", 0,
                                    body, "\"><script>alert(2)</script>");
    const std::string text = show(id, kEditInPlace);
    EXPECT_FALSE(contains(text, "<script>"));
    EXPECT_FALSE(contains(text, "<img src=x"));
    // The textarea holds the body escaped, with an extra line break the parser drops.
    EXPECT_TRUE(contains(text, ">\n\nfirst line&lt;/textarea&gt;&lt;script&gt;alert(1)&lt;/"
                               "script&gt;&amp;amp; &lt;$post$&gt;</textarea>"));
    EXPECT_TRUE(contains(text, "value=\"&gt;&lt;img src=x onerror=alert(1)&gt;\""));
    EXPECT_FALSE(contains(page("anchor.html"), "<img"));
}

TEST_F(ContentEdit, VanishedPostAndMissingTemplatesAreReportedByName) {
    subShowContentEdit(app, 4242, kEditInPlace);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "The post 4242 no longer exists.");
    EXPECT_FALSE(std::filesystem::exists(dir / "html" / "contentedit.html"));

    std::filesystem::remove(dir / "html" / "template-userlinks.html");
    show(kBlankPost, 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_TRUE(contains(host.messages[1].text, "html/template-userlinks.html"));
    EXPECT_EQ(host.frontPane(), pane::Content); // the editor opens all the same

    std::filesystem::remove(dir / "html" / "template-contentedit.html");
    EXPECT_THAT([&] { subShowContentEdit(app, kBlankPost, 0); },
                ThrowsMessage<TemplateError>(HasSubstr("html/template-contentedit.html")));
}

TEST_F(ContentEdit, OneSectionTabIsMarkedAndFrameZeroShowsTheSection) {
    for (auto tab : kSectionTabs)
        content().elements[std::string(tab)].className = "selectedsection";
    showSection(app, section::Drafts, "draft.html");
    int marked = 0;
    for (auto tab : kSectionTabs)
        marked += content().elements[std::string(tab)].className == "selectedsection";
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(selectedTab(), "ahrefdrafts");
    EXPECT_EQ(frameShown(editorframe::SectionList), htmlPath("draft.html"));
    subShowUserLinks(app);
    EXPECT_EQ(frameShown(editorframe::UserLinks), htmlPath("userlinks.html"));
}

} // namespace
} // namespace vellumite
