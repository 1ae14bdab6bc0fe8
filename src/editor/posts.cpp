// Storing posts and drafts from the post form, and deleting posts.
#include "editor/posts.h"

#include "core/panes.h"
#include "core/post_dialogs.h"
#include "editor/content_edit.h"
#include "editor/current_posts.h"
#include "editor/drafts.h"
#include "editor/sections.h"
#include "platform/date_time.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

namespace {

constexpr std::string_view kForm = "VellumiteContentEdit";
constexpr std::string_view kTitle = "VellumiteTitle";
constexpr std::string_view kByline = "VellumiteByline";
constexpr std::string_view kBody = "Vellumiteposttext";
constexpr std::string_view kNeedsTitle = "Post needs a title";

struct PostForm {
    std::string title;
    std::string byline;
    std::string body;
};

platform::Document editorDocument(AppState& app) {
    return app.host.pane(pane::Content).document();
}

PostForm readPostForm(AppState& app) {
    platform::Document doc = editorDocument(app);
    PostForm form;
    form.title = doc.fieldValue(std::string(kForm), kTitle);
    form.byline = doc.fieldValue(std::string(kForm), kByline);
    form.body = doc.fieldValue(std::string(kForm), kBody);
    return form;
}

// The fields are emptied only once what they held is stored, so a failure loses nothing.
void clearPostForm(AppState& app) {
    platform::Document doc = editorDocument(app);
    for (std::string_view field : {kTitle, kByline, kBody})
        doc.setFieldValue(std::string(kForm), field, "");
}

bool refuseWithoutTitle(AppState& app, const PostForm& form) {
    if (!form.title.empty())
        return false;
    app.host.msgBox(kNeedsTitle, "Vellumite");
    return true;
}

std::int64_t numberOr(const platform::Value& value, std::int64_t fallback) {
    return static_cast<std::int64_t>(value.toNumber().value_or(static_cast<double>(fallback)));
}

// Puts "~<page>~," in front of the site's list of pages that new posts went to.
void recordPageEntry(platform::Database& db, std::int32_t logId, std::int64_t page) {
    auto site = openSiteRow(db, logId, "Publishandupload");
    db.execute("UPDATE VellumiteLog SET Publishandupload=? WHERE LogID=?",
               {"~" + std::to_string(page) + "~," + readText(site["Publishandupload"]), logId});
}

// A post stored anew: published on the site's current page, or a draft (page 0). Apostrophes
// are stored as "&#39;", as such statements always stored them.
void insertPost(AppState& app, const PostForm& form, std::int64_t page) {
    app.db().execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, "
                     "postdate, posttime, boolDisplayInViewRecent, PublishPage) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                     {app.logId, apostrophesEscaped(form.title), apostrophesEscaped(form.byline),
                      apostrophesEscaped(form.body), platform::currentDateText(),
                      platform::currentTimeText(), false, static_cast<long long>(page)});
}

} // namespace

std::string postedBody(std::string_view typed) {
    std::string body;
    body.reserve(typed.size() + typed.size() / 8);
    for (char c : typed) {
        if (c == '\r')
            body += "<br>\r";
        else if (c != '\n')
            body += c;
    }
    return body;
}

std::string repostedBody(std::string_view typed) {
    return postedBody(platform::replacedAll(typed, "<br>\r", "\r"));
}

std::string apostrophesEscaped(std::string_view text) {
    return platform::replacedAll(text, "'", "&#39;");
}

std::int32_t countNewPost(platform::Database& db, std::int32_t logId) {
    auto site = openSiteRow(db, logId, "numberthispage, PublishedPages");
    // A site that has not counted yet starts on page 1; a published post is never on page 0,
    // which would make it a draft.
    std::int64_t onPage = numberOr(site["numberthispage"], 0);
    std::int64_t page = std::max<std::int64_t>(numberOr(site["PublishedPages"], 1), 1);
    if (onPage == 20) {
        ++page;
        onPage = 0;
    } else {
        ++onPage;
    }
    db.execute("UPDATE VellumiteLog SET numberthispage=?, PublishedPages=?, linkslist='' "
               "WHERE LogID=?",
               {static_cast<long long>(onPage), static_cast<long long>(page), logId});
    recordPageEntry(db, logId, page);
    return static_cast<std::int32_t>(page);
}

void subPostNew(AppState& app) {
    PostForm form = readPostForm(app);
    if (refuseWithoutTitle(app, form))
        return;
    platform::Database& db = app.db();
    std::int32_t page = countNewPost(db, app.logId);
    db.execute("INSERT INTO VellumitePosts (LogID, posttitle, posttext, postbyline, postdate, "
               "posttime, boolDisplayInViewRecent, PublishPage, imagestats) "
               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, '')",
               {app.logId, form.title, postedBody(form.body), form.byline,
                platform::currentDateText(), platform::currentTimeText(), false, page});
    clearPostForm(app);
    clearImageDialog(app);
    resetLinkDialog(app);
    subBuildCurrentPosts(app, 1);
    subShowCurrentPosts(app);
    showEditor(app);
}

void subPostEdit(AppState& app, std::int32_t postId) {
    PostForm form = readPostForm(app);
    form.body = repostedBody(form.body);
    platform::Database& db = app.db();
    auto post = db.openRecordset("SELECT * FROM VellumitePosts WHERE LogID=? AND postID=?",
                                 {app.logId, postId});
    if (post.eof()) {
        // Deleted meanwhile: stored anew, as a new post on the site's current page.
        insertPost(app, form, countNewPost(db, app.logId));
    } else {
        const std::int32_t publishPage = readInt(post["PublishPage"]);
        post.edit();
        post.setField("posttitle", form.title);
        post.setField("postbyline", form.byline);
        post.setField("posttext", form.body);
        if (publishPage == 0) {
            // An opened draft is published like a new post: on the current page, counted.
            post.setField("PublishPage", countNewPost(db, app.logId));
            post.setField("postdate", platform::currentDateText());
            post.setField("posttime", platform::currentTimeText());
            post.setField("imagestats", imageDialogStats(app));
        } else {
            post.setField("imagestats", "");
            recordPageEntry(db, app.logId, publishPage);
        }
        post.update();
    }
    clearPostForm(app);
    clearImageDialog(app);
    subBuildCurrentPosts(app, 1);
    showEditor(app);
}

void subSaveDraftNew(AppState& app) {
    PostForm form = readPostForm(app);
    if (refuseWithoutTitle(app, form))
        return;
    insertPost(app, form, 0);
    clearPostForm(app);
    subBuildDrafts(app);
    subShowDrafts(app);
}

void subSaveDraftEdit(AppState& app, std::int32_t postId) {
    PostForm form = readPostForm(app);
    auto post = app.db().openRecordset("SELECT * FROM VellumitePosts WHERE LogID=? AND postID=?",
                                       {app.logId, postId});
    if (post.eof()) {
        insertPost(app, form, 0); // deleted meanwhile: kept as a draft
    } else {
        post.edit();
        post.setField("posttitle", form.title);
        post.setField("postbyline", form.byline);
        post.setField("posttext", form.body);
        post.update();
    }
    clearPostForm(app);
    subBuildCurrentPosts(app, 1);
    showEditor(app);
}

DeletedPost subDeletePost(AppState& app, std::int32_t postId) {
    if (app.host.msgBox("Are you sure you wish to delete this post?", "Delete post?",
                        platform::MsgButtons::YesNo) != platform::MsgResult::Yes)
        return DeletedPost::None;
    platform::Database& db = app.db();
    auto post = db.openRecordset(
        "SELECT PublishPage FROM VellumitePosts WHERE LogID=? AND postID=?", {app.logId, postId});
    // A post already gone counts as published: the lists that showed it are rebuilt.
    const std::int32_t publishPage = post.eof() ? 1 : readInt(post["PublishPage"]);
    db.execute("DELETE FROM VellumitePosts WHERE LogID=? AND postID=?", {app.logId, postId});
    // Published on any page (not only the first): the posts list that showed it is rebuilt.
    if (publishPage != 0) {
        subBuildCurrentPosts(app, 1);
        subShowCurrentPosts(app);
        return DeletedPost::CurrentPostsShown;
    }
    subBuildDrafts(app);
    subShowDrafts(app);
    return DeletedPost::DraftsShown;
}

} // namespace vellumite
