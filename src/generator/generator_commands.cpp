// Thin glue between the page commands and the generator.
#include "generator/generator_commands.h"

#include "core/content_page.h"
#include "core/panes.h"
#include "generator/archive_menu.h"
#include "generator/site_generator.h"

namespace vellumite {

bool subPreview(AppState& app) {
    if (const platform::Form* publish = app.host.findForm("frmPublish");
        publish && publish->visible())
        return true;
    GeneratorOptions options;
    options.appFolder = app.appFolder;
    try {
        generatePreview(app.db(), app.logId, options);
    } catch (const GeneratorError& e) {
        if (e.number() != GeneratorError::kNoTemplate)
            throw;
        app.host.msgBox(kNoTemplateMessage, "No template");
        return false;
    }
    app.host.openWindow(app.host.previewAddress("index.html"), "vellumitedisplay");
    return true;
}

void subShowArchives(AppState& app) {
    buildArchiveMenu(app.db(), app.logId, app.appFolder);
    showSection(app, section::Archives, "archivemenu.html");
}

void installGeneratorCommands(CommandHandlers& h) {
    h.preview = [](CommandContext& ctx) {
        if (!subPreview(ctx.app))
            ctx.handlers.showTemplateSelect(ctx);
    };
    h.showArchives = [](CommandContext& ctx) { subShowArchives(ctx.app); };
    h.buildArchiveMenu = [](CommandContext& ctx) {
        buildArchiveMenu(ctx.app.db(), ctx.app.logId, ctx.app.appFolder);
    };
}

} // namespace vellumite
