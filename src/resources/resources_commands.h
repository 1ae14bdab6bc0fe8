// The page commands of resource import: import, account set-up, the two lists, delete, and the
// news-alert service.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

// Sets the handlers of resource import. The import window's state (the manager page's origin
// and the uploads) is made on first use and shared by the handlers.
void installResourcesCommands(CommandHandlers& h);

} // namespace vellumite
