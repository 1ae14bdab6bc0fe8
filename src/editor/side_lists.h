// The lists beside the post editor that the content edit page's frames load: user links,
// highlights and the posts a pop-up link can point to.
#pragma once

#include "core/app_state.h"

namespace vellumite {

// html/userlinks.html: the site's links in table order.
void subBuildUserLinks(AppState& app);

// html/recentposts.html: the highlighted posts among the newest TotalPublishPosts posts of the
// site (the oldest when it publishes oldest first), drafts included.
void subBuildHighlights(AppState& app);

// html/anchor.html: every post of the site, in publishing order.
void subBuildAnchors(AppState& app);

} // namespace vellumite
