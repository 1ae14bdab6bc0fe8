// Plugs the template library and the designer into the command tables.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

void installTemplatesCommands(CommandHandlers& h);

} // namespace vellumite
