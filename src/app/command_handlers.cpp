// The one place where each feature's operations are plugged into the command tables.
#include "app/command_handlers.h"

#include "editor/editor_commands.h"
#include "generator/generator_commands.h"
#include "shell/shell_commands.h"
#include "templates/templates_commands.h"

namespace vellumite {

CommandHandlers allCommandHandlers() {
    CommandHandlers h;
    installShellCommands(h);
    installEditorCommands(h);
    installGeneratorCommands(h);
    installTemplatesCommands(h);
    return h;
}

} // namespace vellumite
