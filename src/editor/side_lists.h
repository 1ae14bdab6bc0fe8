// The lists beside the post editor that the content edit page's frames load: user links,
// highlights and the posts a pop-up link can point to; and picking the highlights.
#pragma once

#include "core/app_state.h"

#include <cstdint>

namespace vellumite {

// html/userlinks.html: the site's links in table order.
void subBuildUserLinks(AppState& app);

// html/recentposts.html: the highlighted posts among the newest TotalPublishPosts posts of the
// site (the oldest when it publishes oldest first), drafts included.
void subBuildHighlights(AppState& app);

// html/anchor.html: every post of the site, in publishing order.
void subBuildAnchors(AppState& app);

// "<$recentpostadd-N$>" (true) and "<$removepost-N$>" (false): post N's highlight flag set,
// then the current posts of the set the user was looking at and the highlights shown again.
void subSetHighlight(AppState& app, std::int32_t postId, bool highlighted);

} // namespace vellumite
