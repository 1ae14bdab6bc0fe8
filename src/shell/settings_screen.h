// The site settings screen: its page, the forms that store the settings, and view site.
#pragma once

#include "core/app_state.h"

#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kSetupForm = "VellumiteSetup";
inline constexpr std::string_view kTitlesForm = "VellumiteTitles";
inline constexpr std::string_view kUrlNotSet =
    "URL not set! You should enter your site's URL on the SETTINGS tab.  You may use PREVIEW to "
    "view your site offline";
inline constexpr std::string_view kRecentCountNotANumber =
    "The number of recent posts must be a whole number from 0 to 32767.";
// The web service as the directory sentences of the settings page name it.
inline constexpr std::string_view kDirectoryName = "the Vellumite site directory";

// <$setup$> and the other ways in: writes html/setup.html from html/template-setup.html with
// the open site's settings and shows it in webSetup. The category frame is built after it, so
// that the settings are on screen whatever that does; showSetupCategoryFrame then shows it.
void subShowSetup(AppState& app);
void showSetupCategoryFrame(AppState& app);

// <$savesettings$>: stores the form "VellumiteSetup" in the open site's row (the editor is
// shown next).
void subSaveSettings(AppState& app);

// <$savetitles$>: stores the form "VellumiteTitles"; the screen stays as it is.
void subSaveTitles(AppState& app);

// <$saverecentsettings$>: stores the first field of the first form in frame 2 of the editor
// page as the site's recent list count.
void subSaveRecentSettings(AppState& app);

// <$viewusersite$>: opens the site's address in the "vellumitedisplay" window, or says that it
// is not set.
void subViewUserSite(AppState& app);

// The settings count as complete once an FTP server is entered for the open site.
bool settingsComplete(AppState& app);

// How typed values are stored.
// The FTP folder gets a leading "/" and loses one trailing "/" ("/" alone becomes "").
std::string ftpFolderWithSlash(std::string_view typed);
std::string storedFtpFolder(std::string_view typed);
// The site address gets "http://" in front unless it already begins with "http://" or
// "https://" (in any letter case).
std::string storedSiteAddress(std::string_view typed);
// Keywords keep no apostrophes: each becomes a blank.
std::string storedKeywords(std::string_view typed);

} // namespace vellumite
