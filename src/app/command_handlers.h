// The handler table of the program: every feature's page commands, installed in one place.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

// Every finished operation of every feature; the rest say "This function is not available
// yet." when called.
CommandHandlers allCommandHandlers();

} // namespace vellumite
