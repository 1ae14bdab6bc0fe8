// The lists the content edit page shows in its section frame and side frames.
#pragma once

#include "core/content_page.h"

#include <string_view>

namespace vellumite {

// The current-posts and drafts sections; their callers build the lists first.
void subShowCurrentPosts(AppState& app);
void subShowDrafts(AppState& app);

// Builds the user links and shows them in their frame (twice: the first load of a frame that
// was just written could show the earlier copy).
void subShowUserLinks(AppState& app);
// Shows the highlights, built by the caller, in their frame.
void subShowHighlights(AppState& app);

} // namespace vellumite
