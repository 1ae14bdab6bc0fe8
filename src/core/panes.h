// The main window's panes and the shell's operations on them: show, send back, front page, close.
#pragma once

#include "core/app_state.h"

#include <array>
#include <filesystem>
#include <string_view>

namespace vellumite {

namespace pane {
inline constexpr std::string_view Frontpage = "webFrontpage";
inline constexpr std::string_view Content = "webContent";
inline constexpr std::string_view Setup = "webSetup";
inline constexpr std::string_view SiteSetup = "webSiteSetup";
inline constexpr std::string_view TempEdit = "webTempEdit";
inline constexpr std::string_view TemplateSelect = "webTemplateSelect";
inline constexpr std::string_view TemplateDesigner = "webTemplateDesigner";
inline constexpr std::string_view ManageResources = "webManageResources";
} // namespace pane

// Every pane, in the order they are stacked at start (the first is at the bottom).
inline constexpr std::array<std::string_view, 8> kPaneNames = {
    pane::Frontpage,        pane::Content,        pane::Setup,
    pane::SiteSetup,        pane::TempEdit,       pane::TemplateSelect,
    pane::TemplateDesigner, pane::ManageResources};

inline constexpr std::string_view kMainCaption = "Vellumite Editor";
inline constexpr std::string_view kDisplayWindow = "vellumitedisplay";

// Shows a page file its owner has just written: the pane navigates to it and comes to the
// front (panes are never hidden, only covered).
void showPane(AppState& app, std::string_view paneName, const std::filesystem::path& page);
// Sends a pane to the back, revealing the one shown before it.
void sendPaneToBack(AppState& app, std::string_view paneName);
// The front page: html/template-frontpage.html in webFrontpage, brought to the front.
void showFrontPage(AppState& app);
// Leaves the open site: LogID -1, caption back to the main caption, front page shown.
void closeSite(AppState& app);

// Opens an address in the separate browser window "vellumitedisplay".
void openDisplayWindow(AppState& app, const std::string& address);

// Runs `online` when the computer is online; otherwise shows the offline message and does
// nothing else. Returns whether it ran.
bool whenOnline(AppState& app, const std::function<void()>& online);

inline constexpr std::string_view kOfflinePrompt =
    "Your computer does not appear to be online.  This function is only available with an "
    "active online connection.  Please re-connect and try again.";
inline constexpr std::string_view kOfflineTitle = "No internet connection";

// Preview and publish of a site that has no template yet.
inline constexpr const char* kNoTemplateMessage =
    "You must create a template before previewing or publishing.  Please set a template from "
    "the TEMPLATES page.";
inline constexpr std::string_view kNoTemplateTitle = "No template";

} // namespace vellumite
