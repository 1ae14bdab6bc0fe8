// Filling the drafts page.
#include "editor/drafts.h"

#include "core/fill_engine.h"
#include "editor/post_entries.h"
#include "platform/text.h"

namespace vellumite {

void subBuildDrafts(AppState& app) {
    auto drafts = app.db().openRecordset(
        "SELECT " + std::string(kPostEntryColumns) +
            " FROM VellumitePosts WHERE LogID=? AND PublishPage=0" + postOrderBy(publishOrder(app)),
        {app.logId});
    ListPage page(app.appFolder, "template-draft.html", "VellumiteNewsFeed", kPostEntryTags);
    std::vector<std::string> values;
    for (; !drafts.eof(); drafts.moveNext()) {
        postEntryValues(drafts, values);
        page.add(values);
    }
    std::string& text = page.expand();
    platform::replaceAll(text, "<$VellumitePageTitle$>", std::to_string(app.logId));
    for (std::string_view tag :
         {"<$NextSet>", "<$PrevSet>", "<$midblocks$>", "<$Endblock$>", "<$Startblock$>"})
        platform::replaceAll(text, tag, "");
    page.write("draft.html");
}

} // namespace vellumite
