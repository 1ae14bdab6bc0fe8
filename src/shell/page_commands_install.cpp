// The one place where each finished operation is plugged into the command tables.
#include "editor/editor_commands.h"
#include "generator/generator_commands.h"
#include "shell/page_commands.h"

namespace vellumite {

CommandHandlers installCommandHandlers() {
    CommandHandlers h = notAvailableHandlers();
    // Each subsystem assigns its operations here as it is built, e.g.:
    //   h.postNew = subPostNew;
    // Preview shows the template screen through whatever handler serves it when it runs.
    h.preview = [](CommandContext& ctx) {
        subPreview(ctx, installCommandHandlers().showTemplateSelect);
    };
    h.showArchives = subShowArchives;
    installEditorCommands(h); // after showArchives, which deleting from the archive shows
    return h;
}

} // namespace vellumite
