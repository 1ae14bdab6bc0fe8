// The life cycle of sites: the site list, creating, opening (with its password) and deleting.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kNameInUse =
    "This name is in use.  Please select a different name";
inline constexpr std::string_view kNoNameEntered = "No name entered, please try again";
inline constexpr std::string_view kEnterPassword = "Please enter your password.";
inline constexpr std::string_view kPasswordIncorrect = "Password incorrect.";
inline constexpr std::string_view kDeleteSiteQuestion =
    "This will delete your current Vellumite site!  Are you sure you wish to continue?";
inline constexpr std::string_view kDeleteSiteTitle = "Delete Log?";

// <$openlog$>: writes html/logList.html from html/template-openlog.html, one copy of its
// <logList> block per site with "$logName$" and "$logId$" filled in.
void subBuildLogList(AppState& app);

// "?newlogname": creates a site named `name`, unless a site has exactly that name or the name
// is blank, and makes it the open site (the template screen comes next). Returns whether it
// was created.
bool subCreateLog(AppState& app, const std::string& name);

// <$open-N: opens the site, asking for its password when it has one (the editor comes next).
// A wrong password leaves the site closed. Returns whether it was opened.
bool subOpenLog(AppState& app, std::int32_t logId);

// <$deletethisblog$>: after the user's Yes, deletes the open site's links, posts and row,
// closes it and shows the front page.
void subDeleteLog(AppState& app);

} // namespace vellumite
