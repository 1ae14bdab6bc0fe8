// Thin glue between the page commands and the sites, settings and password screens.
#include "shell/shell_commands.h"

#include "shell/password_dialog.h"
#include "shell/settings_screen.h"
#include "shell/sites.h"

namespace vellumite {

namespace {

bool ask(AppState& app, std::string_view text, std::string_view title) {
    return app.host.msgBox(text, title, platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
}

void showSettings(CommandContext& ctx) {
    subShowSetup(ctx.app);
    ctx.handlers.buildCategoryPage(ctx);
    showSetupCategoryFrame(ctx.app);
}

} // namespace

void installShellCommands(CommandHandlers& h) {
    h.buildSiteList = [](CommandContext& ctx) { subBuildLogList(ctx.app); };
    h.createSite = [](CommandContext& ctx) {
        if (subCreateLog(ctx.app, ctx.argument))
            ctx.handlers.showTemplateSelect(ctx);
    };
    h.openSite = [](CommandContext& ctx) {
        if (subOpenLog(ctx.app, ctx.key))
            ctx.handlers.showEditor(ctx);
    };
    h.deleteOpenSite = [](CommandContext& ctx) { subDeleteLog(ctx.app); };
    h.showPasswordDialog = [](CommandContext& ctx) { subShowPasswordDialog(ctx.app); };

    h.showSettings = showSettings;
    h.saveSettings = [](CommandContext& ctx) {
        subSaveSettings(ctx.app);
        ctx.handlers.showEditor(ctx);
    };
    h.saveTitles = [](CommandContext& ctx) { subSaveTitles(ctx.app); };
    h.saveRecentSettings = [](CommandContext& ctx) { subSaveRecentSettings(ctx.app); };
    h.viewUserSite = [](CommandContext& ctx) { subViewUserSite(ctx.app); };
    h.leaveSettingsForTemplate = [](CommandContext& ctx) {
        if (!settingsComplete(ctx.app) &&
            !ask(ctx.app, "Your settings have not been saved.  Are you sure you wish to continue?",
                 "Continue?"))
            return;
        ctx.key = -2;
        ctx.handlers.showTemplateEdit(ctx);
    };
    h.leaveSettingsForEditor = [](CommandContext& ctx) {
        if (!settingsComplete(ctx.app) &&
            !ask(ctx.app,
                 "Your current settings are not complete, are you sure you wish to continue?  If "
                 "you have entered your settings click NO and then the save settings button at "
                 "the bottom of this page.",
                 "Continue?"))
            return;
        ctx.handlers.showEditor(ctx);
    };
}

} // namespace vellumite
