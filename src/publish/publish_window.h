// frmPublish: the floating window that shows a publish run, with its cancel link.
#pragma once

#include "core/app_state.h"
#include "publish/publish_run.h"

#include <functional>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kPublishForm = "frmPublish";
inline constexpr const char* kCancelPublishQuestion =
    "Canceling publishing now may cause your website to not function correctly.  Are you sure "
    "you wish to cancel?";

// What the window needs from the screens around it.
struct PublishWindowLinks {
    SitePagesFactory pages;              // the generator for the open site
    std::function<void()> showTemplates; // the template screen, for a site without a template
};

// Starts a run of the open site in the publish window: the panes are disabled and the window
// shown, then the run goes on by itself; the window closes when it ends (or stays open on a
// refused upload until the user cancels), and the panes are enabled again. A second start
// while a run shows does nothing.
void startPublishWindow(AppState& app, PublishKind kind, PublishWindowLinks links);

// subPublishPostsFTP and subPublishArchivesFTP.
inline void subPublishPostsFTP(AppState& app, PublishWindowLinks links) {
    startPublishWindow(app, PublishKind::Posts, std::move(links));
}
inline void subPublishArchivesFTP(AppState& app, PublishWindowLinks links) {
    startPublishWindow(app, PublishKind::Archive, std::move(links));
}

} // namespace vellumite
