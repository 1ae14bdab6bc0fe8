// Filling a post list entry from a post row.
#include "editor/post_entries.h"

#include "core/page_text.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

const std::vector<std::string_view> kPostEntryTags = {
    "<$VellumiteNewsLinkText$>",  "<$VellumitePostID$>", "<$VellumiteNewsBody$>",
    "<$VellumiteNewsDateStamp$>", "<$Category$>",        "<$VellumitePostTitle$>",
    "<$RecentPostAdd$>"};

void postEntryValues(const platform::Recordset& post, std::vector<std::string>& values) {
    values.resize(kPostEntryTags.size());
    const std::string id = readText(post["postID"]);
    values[0] = listText(readText(post["posttitle"]));
    values[1] = id;
    values[2] = listText(readText(post["postbyline"]));
    values[3] = platform::htmlEscape(readText(post["postdate"]) + " " + readText(post["posttime"]));
    // The commands in these links carry no closing "$>"; the dispatcher takes both forms.
    const std::string category = readText(post["Category"]);
    values[4] = category.empty() ? "<a href=<$category-" + id + ">[Add to Category]</a>"
                                 : "<a href=<$removecategory-" + id + ">[Remove from \"" +
                                       platform::htmlEscapeKeepingReferences(category) + "\"]</a>";
    values[5] = values[0];
    values[6] = post["boolDisplayInViewRecent"].toBool()
                    ? std::string()
                    : "<a href=<$recentpostadd-" + id + ">[Add to Highlights]</a>";
}

std::string publishOrder(AppState& app) {
    return orderWord(
        openSiteRow(app.db(), app.logId, "PublishBackwards")["PublishBackwards"].toBool());
}

std::string orderWord(bool publishBackwards) {
    return publishBackwards ? "ASC" : "DESC";
}

std::string postOrderBy(std::string_view direction) {
    std::string d(direction);
    return " ORDER BY postdate " + d + ", posttime " + d + ", postID " + d;
}

} // namespace vellumite
