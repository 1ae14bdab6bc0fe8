// The one place where each feature's operations are plugged into the command tables.
#include "app/command_handlers.h"

#include "app/site_pages.h"
#include "editor/editor_commands.h"
#include "generator/generator_commands.h"
#include "publish/publish_commands.h"
#include "resources/resources_commands.h"
#include "shell/shell_commands.h"
#include "templates/templates_commands.h"

namespace vellumite {

CommandHandlers allCommandHandlers() {
    CommandHandlers h;
    installShellCommands(h);
    installEditorCommands(h);
    installGeneratorCommands(h);
    installPublishCommands(h, [](AppState& app, std::int32_t logId) {
        return makeSitePages(app.db(), logId, app.appFolder);
    });
    installTemplatesCommands(h);
    installResourcesCommands(h);
    return h;
}

} // namespace vellumite
