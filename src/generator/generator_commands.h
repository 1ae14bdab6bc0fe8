// The page commands the generator serves: preview of the site and the editor's archive menu.
#pragma once

#include "shell/page_commands.h"

namespace vellumite {

// <$preview$>: generates every main, item and category page of the open site and opens the
// main page, from the sandboxed preview address, in the "vellumitedisplay" window. Does
// nothing while the publish window is shown; a site without a template gets the message and
// `showTemplateSelect`. Other failures are thrown for the dispatcher to report.
void subPreview(CommandContext& ctx, const CommandHandler& showTemplateSelect);

// <$archives$>: marks the archives tab, builds the archive menu and shows it in frame 0 of
// the content edit page.
void subShowArchives(CommandContext& ctx);

} // namespace vellumite
