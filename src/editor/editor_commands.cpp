// Page commands of the post editor, drafts and current posts.
#include "editor/editor_commands.h"

#include "editor/captures.h"
#include "editor/categories.h"
#include "editor/content_edit.h"
#include "editor/current_posts.h"
#include "editor/drafts.h"
#include "editor/popup_links.h"
#include "editor/post_tools.h"
#include "editor/posts.h"
#include "editor/sections.h"
#include "editor/side_lists.h"
#include "editor/user_links.h"
#include "editor/word_processor.h"

namespace vellumite {

namespace {

void showPostSet(AppState& app, std::int32_t set) {
    subBuildCurrentPosts(app, set);
    subShowCurrentPosts(app);
}

// Links, highlights and categories.
void installSideListCommands(CommandHandlers& h) {
    h.saveUserLink = [](CommandContext& ctx) { subSaveUserLink(ctx.app); };
    h.editLink = [](CommandContext& ctx) { subEditUserLink(ctx.app, ctx.key); };
    h.deleteLink = [](CommandContext& ctx) { subDeleteUserLink(ctx.app, ctx.key); };
    h.recentPostAdd = [](CommandContext& ctx) { subSetHighlight(ctx.app, ctx.key, true); };
    h.removePost = [](CommandContext& ctx) { subSetHighlight(ctx.app, ctx.key, false); };
    h.showCategoryChooser = [](CommandContext& ctx) { subShowCategoryChooser(ctx.app, ctx.key); };
    h.setCategory = [](CommandContext& ctx) { subSetPostCategory(ctx.app, ctx.list); };
    h.removeCategory = [](CommandContext& ctx) { subClearPostCategory(ctx.app, ctx.key); };
    h.saveCategory = [](CommandContext& ctx) { subSaveCategory(ctx.app); };
    h.editCategory = [](CommandContext& ctx) { subEditCategory(ctx.app, ctx.key); };
    h.deleteCategory = [](CommandContext& ctx) { subDeleteCategory(ctx.app, ctx.key); };
    h.buildCategoryPage = [](CommandContext& ctx) { subBuildCategoryPage(ctx.app); };
}

// The tools that change the post being edited, and the Captures section.
void installPostToolCommands(CommandHandlers& h) {
    auto wrap = [](WrapTool tool) {
        return CommandHandler([tool](CommandContext& ctx) { subWrapSelection(ctx.app, tool); });
    };
    h.bold = wrap(WrapTool::Bold);
    h.italic = wrap(WrapTool::Italic);
    h.underline = wrap(WrapTool::Underline);
    h.indent = wrap(WrapTool::BlockQuote);
    h.setLink = [](CommandContext& ctx) { subSetLink(ctx.app); };
    h.insertLink = [](CommandContext& ctx) {
        if (postTextSelected(ctx.app))
            ctx.handlers.showLinkDialog(ctx);
    };
    h.insertImage = [](CommandContext& ctx) {
        if (auto place = keepImagePlace(ctx.app)) {
            ctx.key = *place;
            ctx.handlers.showImageDialog(ctx);
        }
    };
    h.anchorTo = [](CommandContext& ctx) { subAnchorTo(ctx.app, ctx.key); };
    h.newsAlertEdit = [](CommandContext& ctx) { subQuoteNewsAlert(ctx.app, ctx.key); };
    h.showToolbarItems = [](CommandContext& ctx) { subShowToolbarItems(ctx.app); };
    h.toolbarAdd = [](CommandContext& ctx) { subQuoteCapture(ctx.app, ctx.key); };
    h.toolbarDelete = [](CommandContext& ctx) { subDeleteCapture(ctx.app, ctx.key); };
    h.wordEdit = [](CommandContext& ctx) { subWordEdit(ctx.app, ctx.key); };
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
    installSideListCommands(h);
    installPostToolCommands(h);
}

} // namespace vellumite
