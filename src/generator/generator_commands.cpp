// Thin glue between the page commands and the generator.
#include "generator/generator_commands.h"

#include "editor/sections.h"
#include "generator/archive_menu.h"
#include "generator/site_generator.h"
#include "shell/panes.h"

namespace vellumite {

void subPreview(CommandContext& ctx, const CommandHandler& showTemplateSelect) {
    AppState& app = ctx.app;
    if (const platform::Form* publish = app.host.findForm("frmPublish");
        publish && publish->visible())
        return;
    GeneratorOptions options;
    options.appFolder = app.appFolder;
    try {
        generatePreview(app.db(), app.logId, options);
    } catch (const GeneratorError& e) {
        if (std::string_view(e.what()) != kNoTemplateMessage)
            throw;
        app.host.msgBox(kNoTemplateMessage, "No template");
        if (showTemplateSelect)
            showTemplateSelect(ctx);
        return;
    }
    app.host.openWindow(app.host.previewAddress("index.html"), "vellumitedisplay");
}

void subShowArchives(CommandContext& ctx) {
    AppState& app = ctx.app;
    buildArchiveMenu(app.db(), app.logId, app.appFolder);
    showSection(app, section::Archives, "archivemenu.html");
}

} // namespace vellumite
