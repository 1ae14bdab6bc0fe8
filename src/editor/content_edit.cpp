// Filling and showing the content edit page.
#include "editor/content_edit.h"

#include "core/fill_engine.h"
#include "core/page_text.h"
#include "core/panes.h"
#include "core/post_dialogs.h"
#include "editor/current_posts.h"
#include "editor/side_lists.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

using platform::replaceAll;

namespace {

// The body that marks a post kept in a word-processor document.
constexpr std::string_view kExternalElement = "<!External Element>";

std::string trimmedSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string commandLink(std::string_view command, std::string_view caption) {
    return "<a href=\"" + std::string(command) + "\">" + std::string(caption) + "</a>";
}

// The form for an existing post: POST and SAVE AS DRAFT links, body or word-processor panel.
// Returns false when the post is gone.
bool fillExistingPost(AppState& app, std::string& page, std::int32_t postId, int editMode) {
    auto post = app.db().openRecordset("SELECT * FROM VellumitePosts WHERE LogID=? AND postID=?",
                                       {app.logId, postId});
    if (post.eof())
        return false;
    const std::string id = std::to_string(postId);
    const bool inPlace = editMode == kEditInPlace;
    replaceAll(page, "<$VellumitePostType$>",
               commandLink(inPlace ? "<$postedit-" + id + "$>" : "<$post$>", "POST"));
    // A published post edited in place cannot become a draft. A copy is saved as a new draft:
    // saving it over the post it was copied from would lose that post's text.
    std::string draftType;
    if (inPlace && readInt(post["PublishPage"]) != 0)
        draftType = "<font color=gray>SAVE AS DRAFT</font>";
    else
        draftType =
            commandLink(inPlace ? "<$draftedit-" + id + "$>" : "<$savedraft$>", "SAVE AS DRAFT");
    replaceAll(page, "<$VellumiteDraftType$>", draftType);

    const std::string body = readText(post["posttext"]);
    if (trimmedSpaces(body) == kExternalElement) {
        replaceAll(page, "<$WordEditDiv$>", "WordEditDivshow");
        replaceAll(page, "<$PostEditDiv$>", "defaultviewhide");
        replaceAll(page, "<$WordEditDivLink$>",
                   "<a href='<$mswordedit-" + id +
                       "'><img src='editword.gif' border='0' alt='' align=left width='23' "
                       "height='22' hspace='0' vspace='0'></a>");
        replaceAll(page, "<$VellumiteItemText$>", "");
    } else {
        replaceAll(page, "<$WordEditDiv$>", "WordEditDivhide");
        replaceAll(page, "<$PostEditDiv$>", "defaultview");
        replaceAll(page, "<$WordEditDivLink$>", "");
        replaceAll(page, "<$VellumiteItemText$>", textareaText(body));
    }
    replaceAll(page, "<$VellumiteItemTitle$>",
               fieldText(platform::replacedAll(readText(post["posttitle"]), "\"", "")));
    replaceAll(page, "<$VellumiteItemByline$>", fieldText(readText(post["postbyline"])));
    replaceAll(page, "<$VellumiteLinkItems$>", "");
    replaceAll(page, "<$VellumiteItemURL$>", "");

    const std::string imageStats = readText(post["imagestats"]);
    if (!imageStats.empty())
        loadImageDialogStats(app, imageStats);
    return true;
}

void fillBlankPost(std::string& page) {
    replaceAll(page, "<$WordEditDivLink$>", "");
    replaceAll(page, "<$WordEditDiv$>", "WordEditDivhide");
    replaceAll(page, "<$PostEditDiv$>", "defaultview");
    replaceAll(page, "<$VellumitePostType$>", commandLink("<$post$>", "POST"));
    replaceAll(page, "<$VellumiteDraftType$>", commandLink("<$savedraft$>", "SAVE AS DRAFT"));
    for (std::string_view tag :
         {"<$VellumiteItemText$>", "<$VellumiteItemTitle$>", "<$VellumiteItemByline$>",
          "<$VellumiteLinkItems$>", "<$VellumiteItemURL$>"})
        replaceAll(page, tag, "");
}

// The news-alert account form keeps its details when the site remembers them.
void fillResourceAccount(AppState& app, std::string& page) {
    auto site =
        openSiteRow(app.db(), app.logId, "rememberdetails, Resourceusername, Resourcepassword");
    const bool remember = site["rememberdetails"].toBool();
    replaceAll(page, "<$detailstatus$>", remember ? "checked" : "");
    replaceAll(page, "<$gwusername$>",
               remember ? fieldText(readText(site["Resourceusername"])) : "");
    replaceAll(page, "<$gwpassword$>",
               remember ? fieldText(readText(site["Resourcepassword"])) : "");
}

// A side list that cannot be built leaves its frame empty; the editor still opens.
template <class Build>
void buildFramePage(AppState& app, Build build) {
    try {
        build(app);
    } catch (const platform::DbError& e) {
        app.host.msgBox(e.description(), "Vellumite");
    } catch (const std::exception& e) {
        app.host.msgBox(e.what(), "Vellumite");
    }
}

} // namespace

void subShowContentEdit(AppState& app, std::int32_t postId, int editMode) {
    std::string page = readEditorTemplate(app.appFolder, "template-contentedit.html");
    replaceAll(page, "<$vellumitetitle$>", listText(app.displayTitle));
    if (postId != kBlankPost) {
        if (!fillExistingPost(app, page, postId, editMode)) {
            app.host.msgBox("The post " + std::to_string(postId) + " no longer exists.",
                            "Vellumite");
            return;
        }
    } else {
        fillBlankPost(page);
    }
    fillResourceAccount(app, page);
    writeEditorPage(app.appFolder, "contentedit.html", page);

    subBuildCurrentPosts(app, app.currentSet);
    buildFramePage(app, subBuildUserLinks);
    buildFramePage(app, subBuildHighlights);
    buildFramePage(app, subBuildAnchors);

    showPane(app, pane::Content, app.htmlFile("contentedit.html"));
}

} // namespace vellumite
