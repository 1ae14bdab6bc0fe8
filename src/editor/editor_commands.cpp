// Page commands of the post editor, drafts and current posts.
#include "editor/editor_commands.h"

#include "editor/content_edit.h"
#include "editor/current_posts.h"
#include "editor/drafts.h"
#include "editor/posts.h"
#include "editor/sections.h"

namespace vellumite {

namespace {

void showPostSet(AppState& app, std::int32_t set) {
    subBuildCurrentPosts(app, set);
    subShowCurrentPosts(app);
}

} // namespace

void installEditorCommands(CommandHandlers& h) {
    h.showEditor = [](CommandContext& ctx) { showEditor(ctx.app); };
    h.clearEditor = [](CommandContext& ctx) { subShowContentEdit(ctx.app, kBlankPost, 0); };
    h.editPost = [](CommandContext& ctx) { subShowContentEdit(ctx.app, ctx.key, kEditInPlace); };
    h.archAdd = [](CommandContext& ctx) { subShowContentEdit(ctx.app, ctx.key, 0); };
    h.postNew = [](CommandContext& ctx) { subPostNew(ctx.app); };
    h.postEdit = [](CommandContext& ctx) { subPostEdit(ctx.app, ctx.key); };
    h.saveDraftNew = [](CommandContext& ctx) { subSaveDraftNew(ctx.app); };
    h.draftEdit = [](CommandContext& ctx) { subSaveDraftEdit(ctx.app, ctx.key); };
    h.deletePost = [](CommandContext& ctx) {
        if (subDeletePost(ctx.app, ctx.key) == DeletedPost::CurrentPostsShown)
            ctx.handlers.buildArchiveMenu(ctx);
    };
    h.archDeletePost = [](CommandContext& ctx) {
        const DeletedPost deleted = subDeletePost(ctx.app, ctx.key);
        if (deleted == DeletedPost::CurrentPostsShown)
            ctx.handlers.buildArchiveMenu(ctx);
        if (deleted != DeletedPost::None)
            ctx.handlers.showArchives(ctx);
    };
    h.showDrafts = [](CommandContext& ctx) {
        subBuildDrafts(ctx.app);
        subShowDrafts(ctx.app);
    };
    h.showRecentPosts = [](CommandContext& ctx) { showPostSet(ctx.app, 1); };
    h.showPostSet = [](CommandContext& ctx) { showPostSet(ctx.app, ctx.key); };
    h.showUserLinks = [](CommandContext& ctx) { subShowUserLinks(ctx.app); };
}

} // namespace vellumite
