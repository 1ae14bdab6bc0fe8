// Switching the content edit page's section tabs.
#include "core/content_page.h"

#include "core/panes.h"

namespace vellumite {

void showSection(AppState& app, std::string_view tab, std::string_view pageName) {
    platform::Document content = app.host.pane(pane::Content).document();
    for (std::string_view each : kSectionTabs)
        content.setClassName(each, each == tab ? "selectedsection" : "");
    content.frame(editorframe::SectionList).navigate(app.htmlFile(pageName));
}

} // namespace vellumite
