// The content edit page: the post form with its section tabs and side frames, for a blank,
// an existing or a copied post.
#pragma once

#include "core/app_state.h"

#include <cstdint>

namespace vellumite {

// editMode 1 edits post `postId` in place; any other mode starts a new post from its text.
inline constexpr int kEditInPlace = 1;
inline constexpr std::int32_t kBlankPost = -1;

// Builds html/contentedit.html for post `postId` (kBlankPost: an empty form), builds the pages
// its frames load first (current posts of the current set, user links, highlights, anchors)
// and shows it in webContent, brought to the front. A frame page that cannot be built is
// reported and the editor is shown all the same.
void subShowContentEdit(AppState& app, std::int32_t postId, int editMode);

// The editor as other screens open it: a blank post form. Opening a site and storing the
// settings end here.
inline void showEditor(AppState& app) {
    subShowContentEdit(app, kBlankPost, 0);
}

} // namespace vellumite
