// The page commands of publishing: publish, archive publish and the site's directory entry.
#pragma once

#include "core/page_commands.h"
#include "publish/publish_run.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace vellumite {

// Makes the site generator for a site; the app wires the generator in.
using SitePagesMaker = std::function<std::unique_ptr<SitePages>(AppState& app, std::int32_t logId)>;

// <$siteSetup$>: opens the site's directory entry on the web service in a new browser window
// (the command's row has checked that the computer is online).
void subSiteSetup(AppState& app);

// Sets the handlers of publish, archive publish, site setup and the upload dialogs.
void installPublishCommands(CommandHandlers& h, SitePagesMaker pages);

} // namespace vellumite
