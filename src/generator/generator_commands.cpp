// Thin glue between the page commands and the generator.
#include "generator/generator_commands.h"

#include "generator/archive_menu.h"
#include "generator/site_generator.h"
#include "shell/panes.h"

#include <array>

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
    platform::Document content = app.host.pane(pane::Content).document();
    static constexpr std::array<std::string_view, 5> kTabs = {
        "ahrefrecentposts", "ahrefdrafts", "ahrefarchives", "ahreftoolbar", "ahrefresources"};
    for (std::string_view tab : kTabs)
        content.setClassName(tab, tab == "ahrefarchives" ? "selectedsection" : "");
    buildArchiveMenu(app.db(), app.logId, app.appFolder);
    content.frame(0).navigate(app.htmlFile("archivemenu.html"));
}

} // namespace vellumite
