// Switching the content edit page's section tabs.
#include "editor/sections.h"

#include "editor/side_lists.h"
#include "shell/panes.h"

namespace vellumite {

void showSection(AppState& app, std::string_view tab, std::string_view pageName) {
    platform::Document content = app.host.pane(pane::Content).document();
    for (std::string_view each : kSectionTabs)
        content.setClassName(each, each == tab ? "selectedsection" : "");
    content.frame(editorframe::SectionList).navigate(app.htmlFile(pageName));
}

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
