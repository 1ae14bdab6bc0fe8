// The page commands of sites, their settings and their password, as the tables call them.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

// Sets the handlers of the site list, creating, opening and deleting sites, the settings
// screen and the password dialog.
void installShellCommands(CommandHandlers& h);

} // namespace vellumite
