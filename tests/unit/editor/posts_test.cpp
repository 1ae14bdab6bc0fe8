// Posting, drafting, deleting: what is stored, the page bookkeeping, and what is shown after.
#include "editor/drafts.h"
#include "editor/posts.h"
#include "editor_fixture.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::EditorTest;
using editor_tests::occurrences;
using platform::MsgResult;

class Posts : public EditorTest {
protected:
    std::int32_t lastPost() {
        return static_cast<std::int32_t>(
            *db().scalar("SELECT max(postID) FROM VellumitePosts").integer());
    }
    std::string text(std::int32_t id, const std::string& field) { return post(id, field).toText(); }
    // What the browser hands back for a textarea that was filled with `stored`: the page parser
    // turns each CR into LF, the host makes every break CR LF.
    static std::string shownAndReadBack(const std::string& stored) {
        std::string lf =
            platform::replacedAll(platform::replacedAll(stored, "\r\n", "\n"), "\r", "\n");
        return platform::replacedAll(lf, "\n", "\r\n");
    }
};

TEST(StoredBody, BreaksBecomeBrAndRepostingKeepsThem) {
    EXPECT_EQ(postedBody("one\r\ntwo"), "one<br>\rtwo");
    EXPECT_EQ(postedBody("a\r\n\r\nb\n"), "a<br>\r<br>\rb");
    EXPECT_EQ(repostedBody("one<br>\r\ntwo"), "one<br>\rtwo");
    EXPECT_EQ(repostedBody(postedBody("x\r\ny")), "x<br>\ry");
    EXPECT_EQ(apostrophesEscaped("Joe's 'day'"), "Joe&#39;s &#39;day&#39;");
}

TEST_F(Posts, NewPostIsStoredAndTheFormEmptied) {
    type("Hello", "me", "one\r\ntwo");
    subPostNew(app);
    std::int32_t id = lastPost();
    EXPECT_EQ(text(id, "posttitle"), "Hello");
    EXPECT_EQ(text(id, "postbyline"), "me");
    EXPECT_EQ(text(id, "posttext"), "one<br>\rtwo");
    EXPECT_EQ(text(id, "PublishPage"), "1");
    EXPECT_EQ(text(id, "boolDisplayInViewRecent"), "0");
    EXPECT_EQ(text(id, "imagestats"), "");
    EXPECT_EQ(text(id, "postdate").size(), 10u);
    EXPECT_EQ(text(id, "posttime").size(), 8u);
    EXPECT_EQ(formValue("VellumiteTitle"), "");
    EXPECT_EQ(formValue("VellumiteByline"), "");
    EXPECT_EQ(formValue("Vellumiteposttext"), "");
    EXPECT_NE(page("currentposts.html").find(">Hello</a>"), std::string::npos);
    EXPECT_EQ(selectedTab(), "ahrefrecentposts");
    EXPECT_EQ(host.frontPane(), pane::Content);
    EXPECT_NE(page("contentedit.html").find("<a href=\"<$post$>\">POST</a>"), std::string::npos);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Posts, EditingAPostTwiceKeepsItsBreaks) {
    type("t", "", "one\r\ntwo");
    subPostNew(app);
    std::int32_t id = lastPost();
    for (int round = 0; round < 2; ++round) {
        type("t", "", shownAndReadBack(text(id, "posttext")));
        subPostEdit(app, id);
        EXPECT_EQ(text(id, "posttext"), "one<br>\rtwo") << round;
    }
}

TEST_F(Posts, NoTitleNoPostAndTheFormKept) {
    type("", "me", "words");
    subPostNew(app);
    subSaveDraftNew(app);
    ASSERT_EQ(host.messages.size(), 2u);
    for (const auto& m : host.messages) {
        EXPECT_EQ(m.text, "Post needs a title");
        EXPECT_EQ(m.title, "Vellumite");
    }
    EXPECT_EQ(postCount(), 0);
    EXPECT_EQ(formValue("Vellumiteposttext"), "words");
    EXPECT_EQ(site("numberthispage").toText(), "0");
}

TEST_F(Posts, PageCountersMoveWithEachPost) {
    setSite("PublishedPages", 3);
    type("a", "", "");
    subPostNew(app);
    type("b", "", "");
    subPostNew(app);
    EXPECT_EQ(site("Publishandupload").toText(), "~3~,~3~,");
    EXPECT_EQ(site("numberthispage").toText(), "2");
    EXPECT_EQ(text(lastPost(), "PublishPage"), "3");
}

TEST_F(Posts, TwentyFirstPostOpensTheNextPage) {
    setSite("PublishedPages", 4);
    setSite("numberthispage", 20);
    type("next page", "", "");
    subPostNew(app);
    EXPECT_EQ(text(lastPost(), "PublishPage"), "5");
    EXPECT_EQ(site("PublishedPages").toText(), "5");
    EXPECT_EQ(site("numberthispage").toText(), "0");
    EXPECT_EQ(site("Publishandupload").toText(), "~5~,");
}

TEST_F(Posts, SiteThatNeverCountedStartsOnPageOne) {
    setSite("PublishedPages", nullptr);
    setSite("numberthispage", nullptr);
    setSite("Publishandupload", nullptr);
    type("first", "", "");
    subPostNew(app);
    EXPECT_EQ(text(lastPost(), "PublishPage"), "1");
    EXPECT_EQ(site("numberthispage").toText(), "1");
    EXPECT_EQ(site("Publishandupload").toText(), "~1~,");
}

TEST_F(Posts, DraftKeepsItsTextAndStoresApostrophesAsReferences) {
    type("Joe's day", "Ann's", "it's\r\nhere");
    subSaveDraftNew(app);
    std::int32_t id = lastPost();
    EXPECT_EQ(text(id, "posttitle"), "Joe&#39;s day");
    EXPECT_EQ(text(id, "postbyline"), "Ann&#39;s");
    EXPECT_EQ(text(id, "posttext"), "it&#39;s\r\nhere");
    EXPECT_EQ(text(id, "PublishPage"), "0");
    EXPECT_EQ(site("Publishandupload").toText(), ""); // drafts do no page bookkeeping
    EXPECT_EQ(selectedTab(), "ahrefdrafts");
    EXPECT_EQ(frameShown(0), (dir / "html" / "draft.html").string());
    EXPECT_NE(page("draft.html").find(">Joe&#39;s day</a>"), std::string::npos);
    EXPECT_EQ(formValue("VellumiteTitle"), "");
}

TEST_F(Posts, SavingADraftInPlaceKeepsItADraft) {
    std::int32_t id = addPost("draft", "2024-05-01", "12:00:00", 0, "old");
    type("draft 2", "by", "new\r\ntext");
    subSaveDraftEdit(app, id);
    EXPECT_EQ(text(id, "posttitle"), "draft 2");
    EXPECT_EQ(text(id, "posttext"), "new\r\ntext");
    EXPECT_EQ(text(id, "PublishPage"), "0");
    EXPECT_EQ(text(id, "postdate"), "2024-05-01");
    EXPECT_EQ(postCount(), 1);
}

TEST_F(Posts, PostingAnOpenedDraftPublishesItOnTheCurrentPage) {
    setSite("PublishedPages", 2);
    setSite("numberthispage", 5);
    std::int32_t id = addPost("draft", "2020-01-01", "08:00:00", 0, "x");
    type("ready", "", "done");
    subPostEdit(app, id);
    EXPECT_EQ(text(id, "posttitle"), "ready");
    EXPECT_EQ(text(id, "PublishPage"), "2");
    EXPECT_NE(text(id, "postdate"), "2020-01-01");
    EXPECT_EQ(site("numberthispage").toText(), "6");
    EXPECT_EQ(site("Publishandupload").toText(), "~2~,");
    EXPECT_NE(page("currentposts.html").find(">ready</a>"), std::string::npos);
}

TEST_F(Posts, EditingAPublishedPostKeepsItsPageAndDate) {
    setSite("PublishedPages", 3);
    std::int32_t id = addPost("old", "2020-01-01", "08:00:00", 2, "x");
    db().execute("UPDATE VellumitePosts SET imagestats='a.gif,1,2,0' WHERE postID=?", {id});
    type("new", "", "y");
    subPostEdit(app, id);
    EXPECT_EQ(text(id, "posttitle"), "new");
    EXPECT_EQ(text(id, "PublishPage"), "2");
    EXPECT_EQ(text(id, "postdate"), "2020-01-01");
    EXPECT_EQ(text(id, "imagestats"), "");
    EXPECT_EQ(site("Publishandupload").toText(), "~2~,");
    EXPECT_EQ(site("numberthispage").toText(), "0");
}

TEST_F(Posts, VanishedPostIsStoredAnew) {
    type("It's back", "me", "one\r\ntwo");
    subPostEdit(app, 777);
    std::int32_t published = lastPost();
    EXPECT_NE(published, 777);
    EXPECT_EQ(text(published, "posttitle"), "It&#39;s back");
    EXPECT_EQ(text(published, "posttext"), "one<br>\rtwo");
    EXPECT_EQ(text(published, "PublishPage"), "1");
    EXPECT_EQ(text(published, "postdate").size(), 10u);
    EXPECT_EQ(site("Publishandupload").toText(), "~1~,");

    type("draft back", "", "x");
    subSaveDraftEdit(app, 778);
    EXPECT_EQ(text(lastPost(), "posttitle"), "draft back");
    EXPECT_EQ(text(lastPost(), "PublishPage"), "0");
    EXPECT_EQ(postCount(), 2);
}

TEST_F(Posts, DeleteNeedsYes) {
    std::int32_t id = addPost("keep", "2024-05-01");
    EXPECT_FALSE(subDeletePost(app, id)); // no answer given: No
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Are you sure you wish to delete this post?");
    EXPECT_EQ(host.messages[0].title, "Delete post?");
    EXPECT_EQ(host.messages[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(postCount(), 1);
}

TEST_F(Posts, DeletingAPageOnePostShowsTheCurrentPosts) {
    std::int32_t gone = addPost("gone", "2024-05-02");
    addPost("stays", "2024-05-01");
    host.msgAnswers.push_back(MsgResult::Yes);
    EXPECT_TRUE(subDeletePost(app, gone));
    EXPECT_EQ(postCount(), 1);
    EXPECT_EQ(selectedTab(), "ahrefrecentposts");
    std::string list = page("currentposts.html");
    EXPECT_EQ(list.find(">gone</a>"), std::string::npos);
    EXPECT_NE(list.find(">stays</a>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "html" / "archivemenu.html"));
}

TEST_F(Posts, DeletingAPageTwoPostShowsTheDrafts) {
    std::int32_t gone = addPost("page two", "2024-05-02", "12:00:00", 2);
    addPost("a draft", "2024-05-01", "12:00:00", 0);
    host.msgAnswers.push_back(MsgResult::Yes);
    EXPECT_TRUE(subDeletePost(app, gone));
    EXPECT_EQ(post(gone, "postID"), platform::Value());
    EXPECT_EQ(selectedTab(), "ahrefdrafts");
    EXPECT_EQ(frameShown(0), (dir / "html" / "draft.html").string());
    EXPECT_NE(page("draft.html").find(">a draft</a>"), std::string::npos);
}

TEST_F(Posts, DeletingTouchesOnlyTheOpenSite) {
    std::int32_t mine = app.logId;
    app.logId = addSite("Other");
    std::int32_t theirs = addPost("theirs", "2024-05-01");
    app.logId = mine;
    host.msgAnswers.push_back(MsgResult::Yes);
    subDeletePost(app, theirs);
    EXPECT_EQ(postCount(), 1);
}

TEST_F(Posts, DraftsListInPublishingOrderWithoutPaging) {
    addPost("older", "2024-05-01", "12:00:00", 0);
    addPost("newer", "2024-05-02", "12:00:00", 0);
    addPost("published", "2024-05-03");
    subBuildDrafts(app);
    std::string desc = page("draft.html");
    EXPECT_EQ(occurrences(desc, "<li>"), 2u);
    EXPECT_LT(desc.find(">newer</a>"), desc.find(">older</a>"));
    for (const char* tag : {"<$NextSet>", "<$PrevSet>", "<$midblocks$>", "<$Endblock$>",
                            "<$Startblock$>", "<$VellumitePageTitle$>"})
        EXPECT_EQ(desc.find(tag), std::string::npos) << tag;
    setSite("PublishBackwards", true);
    subBuildDrafts(app);
    std::string asc = page("draft.html");
    EXPECT_LT(asc.find(">older</a>"), asc.find(">newer</a>"));
}

TEST_F(Posts, ImageDialogIsReadForADraftAndClearedAfter) {
    platform::Form& image = host.form("frmImage");
    image.add("txtFile", platform::ControlKind::Text, {{"text", "dog.jpg"}})
        .add("txtImageWidth", platform::ControlKind::Text, {{"text", "200"}})
        .add("txtImageHeight", platform::ControlKind::Text, {{"text", "150"}})
        .add("chkPopup", platform::ControlKind::CheckBox, {{"checked", true}});
    platform::Form& link = host.form("frmSelectURL");
    link.add("cboURLListing", platform::ControlKind::Combo,
             {{"items", {"http://a.example", "http://b.example"}}});
    std::int32_t id = addPost("draft", "2024-05-01", "12:00:00", 0);
    type("draft", "", "x");
    subPostEdit(app, id);
    EXPECT_EQ(text(id, "imagestats"), "dog.jpg,200,150,1");
    EXPECT_EQ(image.text("txtFile"), "");
    EXPECT_FALSE(image.checked("chkPopup"));

    type("new", "", "x");
    subPostNew(app);
    EXPECT_EQ(link.items("cboURLListing"), std::vector<std::string>{"http://"});
}

} // namespace
} // namespace vellumite
