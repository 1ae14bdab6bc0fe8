// The page commands the generator serves: preview of the site and the editor's archive menu.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

// <$preview$>: generates every main, item and category page of the open site and opens the
// main page, from the sandboxed preview address, in the "vellumitedisplay" window. Does
// nothing while the publish window is shown. A site without a template gets the message and
// false (the template screen comes next). Other failures are thrown for the dispatcher.
bool subPreview(AppState& app);

// <$archives$>: marks the archives tab, builds the archive menu and shows it in frame 0 of
// the content edit page.
void subShowArchives(AppState& app);

// Sets the handlers of preview, the archives section and the archive menu.
void installGeneratorCommands(CommandHandlers& h);

} // namespace vellumite
