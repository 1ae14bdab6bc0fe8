// Switching the content edit page's section tabs.
#include "editor/sections.h"

#include "core/panes.h"
#include "editor/side_lists.h"

namespace vellumite {

void subShowCurrentPosts(AppState& app) {
    showSection(app, section::RecentPosts, "currentposts.html");
}

void subShowDrafts(AppState& app) {
    showSection(app, section::Drafts, "draft.html");
}

void subShowUserLinks(AppState& app) {
    subBuildUserLinks(app);
    platform::Document links =
        app.host.pane(pane::Content).document().frame(editorframe::UserLinks);
    links.navigate(app.htmlFile("userlinks.html"));
    links.navigate(app.htmlFile("userlinks.html"));
}

void subShowHighlights(AppState& app) {
    app.host.pane(pane::Content)
        .document()
        .frame(editorframe::Highlights)
        .navigate(app.htmlFile("recentposts.html"));
}

} // namespace vellumite
