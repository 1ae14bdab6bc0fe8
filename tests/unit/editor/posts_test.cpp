// Posting, drafting, deleting: what is stored, the page bookkeeping, and what is shown after.
#include "editor/content_edit.h"
#include "editor/drafts.h"
#include "editor/posts.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;
using editor_tests::EditorTest;
using platform::Value;

class Posts : public EditorTest {};

// A new post stored, listed and shown again to edit, its line breaks kept: see the browser
// test of the editor.
TEST_F(Posts, NoTitleStoresNothingAndKeepsTheForm) {
    type("", "me", "words");
    subPostNew(app);
    subSaveDraftNew(app);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(formField("Vellumiteposttext") + site("numberthispage"), "words0");
}

TEST_F(Posts, EachPostMovesThePageCounters) {
    struct Case {
        const char* what;
        Value pages, onPage, upload;
        int posts;
        std::string page, pagesAfter, onPageAfter, uploadAfter;
    } cases[] = {
        {"two posts on page 3", 3, 0, "", 2, "3", "3", "2", "~3~,~3~,"},
        {"the 21st post", 4, 20, "", 1, "5", "5", "0", "~5~,"},
        {"a site that never counted", {}, {}, {}, 1, "1", "1", "1", "~1~,"},
    };
    for (const auto& c : cases) {
        setSite("PublishedPages", c.pages);
        setSite("numberthispage", c.onPage);
        setSite("Publishandupload", c.upload);
        for (int i = 0; i < c.posts; ++i) {
            type("t", "", "");
            subPostNew(app);
        }
        EXPECT_EQ(post(lastPost(), "PublishPage"), c.page) << c.what;
        EXPECT_EQ(site("PublishedPages"), c.pagesAfter) << c.what;
        EXPECT_EQ(site("numberthispage"), c.onPageAfter) << c.what;
        EXPECT_EQ(site("Publishandupload"), c.uploadAfter) << c.what;
        EXPECT_EQ(selectedTab(), "ahrefrecentposts") << c.what;
    }
}

TEST_F(Posts, DraftKeepsItsTextWithApostrophesAsReferences) {
    type("Joe's day", "Ann's", "it's\r\nhere");
    subSaveDraftNew(app);
    const std::int32_t id = lastPost();
    EXPECT_EQ(post(id, "posttitle") + "|" + post(id, "postbyline"), "Joe&#39;s day|Ann&#39;s");
    EXPECT_EQ(post(id, "posttext"), "it&#39;s\r\nhere");
    EXPECT_EQ(post(id, "PublishPage"), "0");
    EXPECT_EQ(site("Publishandupload"), ""); // drafts do no page bookkeeping

    type("draft 2", "", "new");
    subSaveDraftEdit(app, id);
    EXPECT_EQ(post(id, "posttitle") + "|" + post(id, "PublishPage"), "draft 2|0");
    EXPECT_EQ(count(), 1);
}

TEST_F(Posts, PostingAnOpenedDraftDatesItAndEditingAPostKeepsPageAndDate) {
    setSite("PublishedPages", 3);
    setSite("numberthispage", 5);
    const std::int32_t draft = addPost("draft", "2020-01-01", "08:00:00", 0);
    const std::int32_t published = addPost("old", "2020-01-01", "08:00:00", 2);
    db.execute("UPDATE VellumitePosts SET imagestats='a.gif,1,2,0' WHERE postID=?", {published});
    type("ready", "", "done");
    subPostEdit(app, draft);
    EXPECT_EQ(post(draft, "PublishPage"), "3");
    EXPECT_NE(post(draft, "postdate"), "2020-01-01");
    EXPECT_EQ(site("numberthispage"), "6");

    type("new", "", "y");
    subPostEdit(app, published);
    EXPECT_EQ(post(published, "posttitle"), "new");
    EXPECT_EQ(post(published, "PublishPage") + " " + post(published, "postdate"), "2 2020-01-01");
    EXPECT_EQ(post(published, "imagestats"), "");
    EXPECT_EQ(site("Publishandupload"), "~2~,~3~,");
    EXPECT_EQ(site("numberthispage"), "6");
}

TEST_F(Posts, VanishedPostOrDraftIsStoredAnew) {
    type("It's back", "me", "one\r\ntwo");
    subPostEdit(app, 777);
    const std::int32_t published = lastPost();
    EXPECT_EQ(post(published, "posttitle") + "|" + post(published, "posttext") + "|" +
                  post(published, "PublishPage"),
              "It&#39;s back|one<br>\rtwo|1");

    type("draft back", "", "x");
    subSaveDraftEdit(app, 778);
    EXPECT_EQ(post(lastPost(), "posttitle") + "|" + post(lastPost(), "PublishPage"),
              "draft back|0");
    EXPECT_EQ(count(), 2);
}

TEST_F(Posts, DeletingRebuildsTheListThatShowedThePostAndOtherSitesAreUntouched) {
    // A post published on page 2 (every post after a site's first twenty) is a post.
    const std::int32_t pageTwo = addPost("page two", "2024-05-02", "12:00:00", 2);
    addPost("page one", "2024-05-03", "12:00:00", 1);
    const std::int32_t draft = addPost("a draft", "2024-05-01", "12:00:00", 0);
    addPost("another draft", "2024-05-01", "13:00:00", 0);
    const std::int32_t mine = app.logId;
    app.logId = addSite("Other");
    const std::int32_t theirs = addPost("theirs", "2024-05-01");
    app.logId = mine;

    host.msgAnswers = {platform::MsgResult::Yes, platform::MsgResult::Yes,
                       platform::MsgResult::Yes};
    EXPECT_EQ(subDeletePost(app, pageTwo), DeletedPost::CurrentPostsShown);
    EXPECT_EQ(count("postID=" + std::to_string(pageTwo)), 0);
    EXPECT_EQ(selectedTab(), "ahrefrecentposts");
    EXPECT_EQ(frameShown(0), htmlPath("currentposts.html"));
    EXPECT_TRUE(contains(page("currentposts.html"), ">page one</a>"));
    EXPECT_FALSE(contains(page("currentposts.html"), ">page two</a>"));

    EXPECT_EQ(subDeletePost(app, draft), DeletedPost::DraftsShown);
    EXPECT_EQ(selectedTab(), "ahrefdrafts");
    EXPECT_EQ(frameShown(0), htmlPath("draft.html"));
    EXPECT_TRUE(contains(page("draft.html"), ">another draft</a>"));
    EXPECT_FALSE(contains(page("draft.html"), ">a draft</a>"));

    subDeletePost(app, theirs);
    EXPECT_EQ(count("postID=" + std::to_string(theirs)), 1);
}

TEST_F(Posts, DraftsListInPublishingOrderWithoutPaging) {
    addPost("older", "2024-05-01", "12:00:00", 0);
    addPost("newer", "2024-05-02", "12:00:00", 0);
    addPost("published", "2024-05-03");
    for (bool ascending : {false, true}) {
        setSite("PublishBackwards", ascending);
        subBuildDrafts(app);
        const std::string list = page("draft.html");
        EXPECT_EQ(titles(list).size(), 2u);
        EXPECT_EQ(titles(list).front(), ascending ? "older" : "newer");
        EXPECT_FALSE(contains(list, "<$NextSet>")); // no paging
    }
}

TEST_F(Posts, ImageDialogComesFromThePostAndIsStoredWithItAndClearedAfter) {
    platform::Form& image = host.form("frmImage");
    for (const char* box : {"txtFile", "txtImageWidth", "txtImageHeight"})
        image.add(box, platform::ControlKind::Text);
    image.add("chkPopup", platform::ControlKind::CheckBox);
    platform::Form& link = host.form("frmSelectURL");
    link.add("cboURLListing", platform::ControlKind::Combo, {{"items", {"http://a.example"}}});
    const std::int32_t id = addPost("draft", "2024-05-01", "12:00:00", 0);
    db.execute("UPDATE VellumitePosts SET imagestats='cat.gif,120,80,1' WHERE postID=?", {id});
    subShowContentEdit(app, id, kEditInPlace);
    EXPECT_EQ(image.text("txtFile") + "," + image.text("txtImageWidth") + "," +
                  image.text("txtImageHeight"),
              "cat.gif,120,80");
    EXPECT_TRUE(image.checked("chkPopup"));
    EXPECT_FALSE(image.enabled("txtImageWidth")); // a pop-up takes the image's own size

    image.setText("txtFile", "dog.jpg");
    image.setChecked("chkPopup", false);
    type("draft", "", "x");
    subPostEdit(app, id);
    EXPECT_EQ(post(id, "imagestats"), "dog.jpg,120,80,0");
    EXPECT_EQ(image.text("txtFile"), "");
    type("new", "", "x");
    subPostNew(app);
    EXPECT_EQ(link.items("cboURLListing"), std::vector<std::string>{"http://"});
}

} // namespace
} // namespace vellumite
