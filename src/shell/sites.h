// The life cycle of sites: the site list, creating, opening (with its password) and deleting.
#pragma once

#include "shell/page_commands.h"

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
void subBuildLogList(CommandContext& ctx);

// "?newlogname": creates a site named ctx.argument, unless a site has exactly that name or the
// name is blank; makes it the open site and ends with `showTemplateSelect`.
void subCreateLog(CommandContext& ctx, const CommandHandler& showTemplateSelect);

// <$open-N: opens site ctx.key, asking for its password when it has one, and ends with
// `showEditor`. A wrong password leaves the site closed.
void subOpenLog(CommandContext& ctx, const CommandHandler& showEditor);

// <$deletethisblog$>: after the user's Yes, deletes the open site's links, posts and row,
// closes it and shows the front page.
void subDeleteLog(CommandContext& ctx);

} // namespace vellumite
