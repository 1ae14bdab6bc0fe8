// The one place where each finished operation is plugged into the command tables.
#include "editor/editor_commands.h"
#include "generator/generator_commands.h"
#include "shell/page_commands.h"
#include "shell/password_dialog.h"
#include "shell/sites.h"
#include "store/settings_screen.h"

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
    // Sites and their settings. Their last steps (the editor, the template screen, the
    // category frame) are looked up when they run, so they reach whichever handler serves them.
    h.buildSiteList = subBuildLogList;
    h.createSite = [](CommandContext& ctx) {
        subCreateLog(ctx, installCommandHandlers().showTemplateSelect);
    };
    h.openSite = [](CommandContext& ctx) { subOpenLog(ctx, installCommandHandlers().showEditor); };
    h.showPasswordDialog = subShowPasswordDialog;
    h.deleteOpenSite = subDeleteLog;
    h.showSettings = [](CommandContext& ctx) {
        subShowSetup(ctx, installCommandHandlers().buildCategoryPage);
    };
    h.saveSettings = [](CommandContext& ctx) {
        subSaveSettings(ctx, installCommandHandlers().showEditor);
    };
    h.saveTitles = subSaveTitles;
    h.saveRecentSettings = subSaveRecentSettings;
    h.viewUserSite = subViewUserSite;
    installEditorCommands(h); // after showArchives, which deleting from the archive shows
    return h;
}

} // namespace vellumite
