// Filling the user links, highlights and anchors pages.
#include "editor/side_lists.h"

#include "editor/fill_engine.h"
#include "editor/page_text.h"
#include "editor/post_entries.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

#include <algorithm>

namespace vellumite {

using platform::replaceAll;

void subBuildUserLinks(AppState& app) {
    auto links = app.db().openRecordset(
        "SELECT linkID, linktext FROM VellumiteLinks WHERE LogID=? ORDER BY linkID", {app.logId});
    ListPage page(app.appFolder, "template-userlinks.html", "VellumiteUserLinks");
    for (; !links.eof(); links.moveNext()) {
        std::string entry = page.block();
        replaceAll(entry, "<$VellumiteLinkText$>", listText(readText(links["linktext"])));
        replaceAll(entry, "<$VellumiteLinkId$>", readText(links["linkID"]));
        page.append(entry);
    }
    page.expand();
    page.write("userlinks.html");
}

void subBuildHighlights(AppState& app) {
    auto site =
        openSiteRow(app.db(), app.logId, "PublishBackwards, TotalPublishPosts, recentpostnum");
    const std::string order = publishOrder(app);
    const std::int32_t total = std::max<std::int32_t>(readInt(site["TotalPublishPosts"]), 0);
    // Only picked posts among the first `total` in publishing order.
    auto posts = app.db().openRecordset(
        "SELECT postID, posttitle FROM (SELECT postID, posttitle, postdate, posttime, "
        "boolDisplayInViewRecent FROM VellumitePosts WHERE LogID=?" +
            postOrderBy(order) + " LIMIT ?) WHERE boolDisplayInViewRecent<>0" + postOrderBy(order),
        {app.logId, total});
    ListPage page(app.appFolder, "template-recentposts.html", "GlintwatchUserPosts");
    for (; !posts.eof(); posts.moveNext()) {
        std::string entry = page.block();
        replaceAll(entry, "<$GlintwatchPostTitle$>", listText(readText(posts["posttitle"])));
        replaceAll(entry, "<$GlintwatchLinkId$>", readText(posts["postID"]));
        page.append(entry);
    }
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
    ListPage page(app.appFolder, "template-anchors.html", "VellumiteAnchors");
    for (; !posts.eof(); posts.moveNext()) {
        std::string entry = page.block();
        replaceAll(
            entry, "<$VellumiteNewsDateStamp$>",
            platform::htmlEscape(readText(posts["postdate"]) + " " + readText(posts["posttime"])));
        replaceAll(entry, "<$VellumiteNewsLinkText$>", listText(readText(posts["posttitle"])));
        replaceAll(entry, "<$VellumiteByline$>", listText(readText(posts["postbyline"])));
        replaceAll(entry, "<$VellumitePostID$>", readText(posts["postID"]));
        page.append(entry);
    }
    page.expand();
    page.write("anchor.html");
}

} // namespace vellumite
