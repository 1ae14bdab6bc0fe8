// Filling a post list entry from a post row.
#include "editor/post_entries.h"

#include "editor/page_text.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

std::string postListEntry(std::string_view block, const platform::Recordset& post) {
    using platform::replaceAll;
    const std::string id = readText(post["postID"]);
    const std::string title = listText(readText(post["posttitle"]));
    std::string entry(block);
    replaceAll(entry, "<$VellumiteNewsLinkText$>", title);
    replaceAll(entry, "<$VellumitePostID$>", id);
    replaceAll(entry, "<$VellumiteNewsBody$>", listText(readText(post["postbyline"])));
    replaceAll(entry, "<$VellumiteNewsDateStamp$>",
               platform::htmlEscape(readText(post["postdate"]) + " " + readText(post["posttime"])));
    // The commands in these links carry no closing "$>"; the dispatcher takes both forms.
    const std::string category = readText(post["Category"]);
    replaceAll(entry, "<$Category$>",
               category.empty() ? "<a href=<$category-" + id + ">[Add to Category]</a>"
                                : "<a href=<$removecategory-" + id + ">[Remove from \"" +
                                      platform::htmlEscapeKeepingReferences(category) + "\"]</a>");
    replaceAll(entry, "<$VellumitePostTitle$>", title);
    replaceAll(entry, "<$RecentPostAdd$>",
               post["boolDisplayInViewRecent"].toBool()
                   ? std::string()
                   : "<a href=<$recentpostadd-" + id + ">[Add to Highlights]</a>");
    return entry;
}

std::string publishOrder(AppState& app) {
    return openSiteRow(app.db(), app.logId, "PublishBackwards")["PublishBackwards"].toBool()
               ? "ASC"
               : "DESC";
}

std::string postOrderBy(std::string_view direction) {
    std::string d(direction);
    return " ORDER BY postdate " + d + ", posttime " + d + ", postID " + d;
}

} // namespace vellumite
