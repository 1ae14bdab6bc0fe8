// Plugging resource import into the command tables.
#include "resources/resources_commands.h"

#include "core/panes.h"
#include "resources/manage_window.h"
#include "resources/news_items.h"

#include <memory>

namespace vellumite {

void installResourcesCommands(CommandHandlers& h) {
    // One import window state for the program, made when first needed.
    auto state = std::make_shared<std::unique_ptr<ResourceImport>>();
    auto window = [state](AppState& app) -> ResourceImport& {
        if (!*state)
            *state = std::make_unique<ResourceImport>(app);
        return **state;
    };
    h.importResources = [window](CommandContext& ctx) { window(ctx.app).subStartImport(); };
    h.showResourceSetup = [window](CommandContext& ctx) { window(ctx.app).subResourceSetup(); };
    h.showResources = [](CommandContext& ctx) { subShowResources(ctx.app); };
    h.showResourceManager = [](CommandContext& ctx) { subShowResourceManager(ctx.app); };
    h.deleteResource = [](CommandContext& ctx) {
        subDeleteResource(ctx.app, ctx.key, ctx.pane == pane::ManageResources);
    };
    h.openGlintwatch = [](CommandContext& ctx) { subOpenGlintwatch(ctx.app); };
}

} // namespace vellumite
