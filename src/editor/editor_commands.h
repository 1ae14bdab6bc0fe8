// The page commands of the post editor and its lists, as the command tables call them.
#pragma once

#include "core/page_commands.h"

namespace vellumite {

// Assigns the handlers of the editor pages: the editor itself, posts, drafts and the
// current-posts sets.
void installEditorCommands(CommandHandlers& h);

} // namespace vellumite
