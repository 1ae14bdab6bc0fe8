// Thin glue between the page commands and publishing.
#include "publish/publish_commands.h"

#include "core/panes.h"
#include "publish/publish_window.h"
#include "publish/upload_dialogs.h"
#include "publish/web_service.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

namespace {

// The links a publish window needs, made from the command that opens it. The handler table
// and the state live as long as the program, so the window may call them later.
PublishWindowLinks windowLinks(CommandContext& ctx, const SitePagesMaker& pages) {
    PublishWindowLinks links;
    AppState& app = ctx.app;
    const std::int32_t logId = app.logId;
    links.pages = [&app, logId, pages] { return pages(app, logId); };
    links.showTemplates = [&app, &handlers = ctx.handlers, pane = ctx.pane] {
        CommandContext templates{app, handlers, pane, "", "", "", 0, {}};
        handlers.showTemplateSelect(templates);
    };
    return links;
}

} // namespace

void subSiteSetup(AppState& app) {
    auto site = openSiteRow(app.db(), app.logId, "LogServerID, displayTitle");
    const std::string path = siteSetupPath(readText(site["LogServerID"]),
                                           siteNameForService(readText(site["displayTitle"])));
    app.host.openWindow(app.serviceAddress(path), "_blank");
}

void installPublishCommands(CommandHandlers& h, SitePagesMaker pages) {
    h.publish = [pages](CommandContext& ctx) {
        subPublishPostsFTP(ctx.app, windowLinks(ctx, pages));
    };
    h.archPublish = [pages](CommandContext& ctx) {
        subPublishArchivesFTP(ctx.app, windowLinks(ctx, pages));
    };
    h.siteSetup = [](CommandContext& ctx) { subSiteSetup(ctx.app); };
    h.showImageDialog = [](CommandContext& ctx) { showImageDialog(ctx.app, ctx.key); };
    h.showLinkDialog = [](CommandContext& ctx) { showLinkDialog(ctx.app); };
    h.clearImage = [](CommandContext& ctx) { clearImageFile(ctx.app); };
}

} // namespace vellumite
