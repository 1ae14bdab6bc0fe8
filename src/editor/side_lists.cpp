// Filling the user links, highlights and anchors pages, and setting a post's highlight flag.
#include "editor/side_lists.h"

#include "core/fill_engine.h"
#include "core/page_text.h"
#include "editor/current_posts.h"
#include "editor/post_entries.h"
#include "editor/sections.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

#include <algorithm>

namespace vellumite {

using platform::replaceAll;

void subBuildUserLinks(AppState& app) {
    auto links = app.db().openRecordset(
        "SELECT linkID, linktext FROM VellumiteLinks WHERE LogID=? ORDER BY linkID", {app.logId});
    ListPage page(app.appFolder, "template-userlinks.html", "VellumiteUserLinks",
                  {"<$VellumiteLinkText$>", "<$VellumiteLinkId$>"});
    for (; !links.eof(); links.moveNext())
        page.add({listText(readText(links["linktext"])), readText(links["linkID"])});
    page.expand();
    page.write("userlinks.html");
}

void subBuildHighlights(AppState& app) {
    auto site =
        openSiteRow(app.db(), app.logId, "PublishBackwards, TotalPublishPosts, recentpostnum");
    const std::string order = orderWord(site["PublishBackwards"].toBool());
    const std::int32_t total = std::max<std::int32_t>(readInt(site["TotalPublishPosts"]), 0);
    // Only picked posts among the first `total` in publishing order.
    auto posts = app.db().openRecordset(
        "SELECT postID, posttitle FROM (SELECT postID, posttitle, postdate, posttime, "
        "boolDisplayInViewRecent FROM VellumitePosts WHERE LogID=?" +
            postOrderBy(order) + " LIMIT ?) WHERE boolDisplayInViewRecent<>0" + postOrderBy(order),
        {app.logId, total});
    ListPage page(app.appFolder, "template-recentposts.html", "GlintwatchUserPosts",
                  {"<$GlintwatchPostTitle$>", "<$GlintwatchLinkId$>"});
    for (; !posts.eof(); posts.moveNext())
        page.add({listText(readText(posts["posttitle"])), readText(posts["postID"])});
    std::string& text = page.expand();
    replaceAll(text, "<$VellumiteUpdateDays$>",
               platform::htmlEscape(readText(site["recentpostnum"])));
    page.write("recentposts.html");
}

void subBuildAnchors(AppState& app) {
    auto posts = app.db().openRecordset(
        "SELECT postID, posttitle, postbyline, postdate, posttime FROM VellumitePosts "
        "WHERE LogID=?" +
            postOrderBy(publishOrder(app)),
        {app.logId});
    ListPage page(app.appFolder, "template-anchors.html", "VellumiteAnchors",
                  {"<$VellumiteNewsDateStamp$>", "<$VellumiteNewsLinkText$>", "<$VellumiteByline$>",
                   "<$VellumitePostID$>"});
    std::vector<std::string> values(4);
    for (; !posts.eof(); posts.moveNext()) {
        values[0] =
            platform::htmlEscape(readText(posts["postdate"]) + " " + readText(posts["posttime"]));
        values[1] = listText(readText(posts["posttitle"]));
        values[2] = listText(readText(posts["postbyline"]));
        values[3] = readText(posts["postID"]);
        page.add(values);
    }
    page.expand();
    page.write("anchor.html");
}

void subSetHighlight(AppState& app, std::int32_t postId, bool highlighted) {
    app.db().execute(
        "UPDATE VellumitePosts SET boolDisplayInViewRecent=? WHERE LogID=? AND postID=?",
        {highlighted, app.logId, postId});
    subBuildCurrentPosts(app, app.currentSet);
    subShowCurrentPosts(app);
    subBuildHighlights(app);
    subShowHighlights(app);
}

} // namespace vellumite
