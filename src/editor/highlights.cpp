// Setting a post's highlight flag.
#include "editor/highlights.h"

#include "editor/current_posts.h"
#include "editor/sections.h"
#include "editor/side_lists.h"

namespace vellumite {

void subSetHighlight(AppState& app, std::int32_t postId, bool highlighted) {
    app.db().execute(
        "UPDATE VellumitePosts SET boolDisplayInViewRecent=? WHERE LogID=? AND postID=?",
        {highlighted, app.logId, postId});
    subBuildCurrentPosts(app, app.currentSet);
    subShowCurrentPosts(app);
    subBuildHighlights(app);
    subShowHighlights(app);
}

} // namespace vellumite
