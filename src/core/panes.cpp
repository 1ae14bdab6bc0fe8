// Showing panes, the front page, closing a site, and the online gate.
#include "core/panes.h"

namespace vellumite {

void showPane(AppState& app, std::string_view paneName, const std::filesystem::path& page) {
    auto p = app.host.pane(paneName);
    p.navigate(page);
    p.bringToFront();
}

void sendPaneToBack(AppState& app, std::string_view paneName) {
    app.host.pane(paneName).sendToBack();
}

void showFrontPage(AppState& app) {
    showPane(app, pane::Frontpage, app.htmlFile("template-frontpage.html"));
}

void closeSite(AppState& app) {
    app.logId = -1;
    app.host.setCaption(std::string(kMainCaption));
    showFrontPage(app);
}

void openDisplayWindow(AppState& app, const std::string& address) {
    app.host.openWindow(address, std::string(kDisplayWindow));
}

bool whenOnline(AppState& app, const std::function<void()>& online) {
    if (!app.isOnline()) {
        app.host.msgBox(kOfflinePrompt, kOfflineTitle);
        return false;
    }
    online();
    return true;
}

} // namespace vellumite
