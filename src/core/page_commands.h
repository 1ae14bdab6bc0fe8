// Page commands: the command tables of the eight panes, argument cutting, and the dispatcher.
#pragma once

#include "core/app_state.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

struct CommandHandlers;

// What a handler gets: the pane and address of the navigation, the command's argument, and the
// handler table, through which a screen that leads to another calls that screen's handler.
struct CommandContext {
    AppState& app;
    const CommandHandlers& handlers;
    std::string pane;
    std::string address; // the navigation address as the pane reported it
    std::string command; // the table text that matched ("<$edit", "<$background", ...)
    // The text after the command's name (and its "-" or ","), without a final "$>".
    std::string argument;
    // The argument read as a number the way VB's Val reads it, held to 32 bits (rows with a
    // numeric argument only; the dispatcher refuses those whose argument holds no number).
    std::int32_t key = 0;
    // The argument split at every "," (list commands and "<$setCategory-N,name,id").
    std::vector<std::string> list;
};

inline constexpr std::string_view kNotAvailable = "This function is not available yet.";

// Thrown by a handler that no feature has set, after it has said so: it stops the steps that
// would have followed it. The dispatcher catches it.
struct CommandNotAvailable {};

// One named operation of the command tables. A handler that no feature has set says plainly
// "This function is not available yet." when called.
class CommandHandler {
public:
    CommandHandler() = default;
    template <class F>
    requires std::invocable<F&, CommandContext&> CommandHandler(F f) : m_run(std::move(f)) {}

    void operator()(CommandContext& ctx) const;
    bool isSet() const { return static_cast<bool>(m_run); }

private:
    std::function<void(CommandContext&)> m_run;
};

// The named handlers the command tables call. Each feature sets the ones it owns in its
// install function (install*Commands in its *_commands.cpp), and src/app calls every install
// function once. A table row names its handler by member, so it reaches whatever is set when
// it runs; a screen that leads to another calls ctx.handlers.<name>(ctx).
//
// How a screen plugs in: write the operation as a function of the feature taking the
// application state and typed arguments (`void subPostNew(AppState& app)`), then set the
// handler in the feature's install function: `h.postNew = [](CommandContext& ctx) {
// subPostNew(ctx.app); };`. The table rows (order, matching, argument cutting, the online
// check) stay as they are.
//
// How a handler shows a page: build the text from the template, write it whole with
// platform::files::writeFileAtomic(ctx.app.htmlFile("contentedit.html"), text), then
// showPane(ctx.app, pane::Content, ctx.app.htmlFile("contentedit.html")) for a whole pane, or
// ctx.app.host.pane(pane::Content).document().frame(0).navigate(ctx.app.htmlFile(...)) for a
// frame. Form fields, class names and selections go through Document (platform/host.h);
// questions through ctx.app.host.msgBox(text, title, platform::MsgButtons::YesNo).
//
// A handler may throw (NumberedError, DomError, std::exception): the dispatcher shows the
// error's description in a message box and the program goes on.
struct CommandHandlers {
    // Sites. createSite gets the typed name in ctx.argument; openSite the key.
    CommandHandler buildSiteList, createSite, openSite, showPasswordDialog, deleteOpenSite;
    // Site settings. leaveSettingsFor* are the settings page's ways to the template and
    // editor screens, which first ask when the settings are not complete.
    CommandHandler showSettings, saveSettings, saveTitles, saveRecentSettings, viewUserSite,
        leaveSettingsForTemplate, leaveSettingsForEditor;
    // Editor page sections. showPostSet gets the set number in ctx.key.
    CommandHandler showToolbarItems, showRecentPosts, showResources, showArchives, showPostSet;
    // Post editor and drafts. showEditor is the blank editor reached from other screens.
    CommandHandler showEditor, clearEditor, postNew, editPost, postEdit, deletePost, archDeletePost,
        archAdd, saveDraftNew, showDrafts, draftEdit;
    // Links, categories, highlights.
    CommandHandler showUserLinks, saveUserLink, editLink, deleteLink, recentPostAdd, removePost,
        showCategoryChooser, setCategory, removeCategory, saveCategory, editCategory,
        deleteCategory;
    // Pages built for other screens, with no command of their own: the settings screen's
    // category frame, and the archive menu after a published post was deleted.
    CommandHandler buildCategoryPage, buildArchiveMenu;
    // Formatting and insertion tools.
    CommandHandler bold, italic, underline, indent, insertLink, insertImage, setLink, newsAlertEdit,
        toolbarAdd, toolbarDelete, anchorTo, wordEdit;
    // Site generation, publishing, web service, upload dialogs.
    CommandHandler preview, publish, archPublish, siteSetup, clearImage;
    // The insert-link and insert-image dialogs, shown by the post editor's tools once text is
    // selected or the cursor is in the post box. showImageDialog gets in ctx.key the number of
    // the post box's saved selection, which subInsertImage (core/post_insert.h) replaces.
    CommandHandler showLinkDialog, showImageDialog;
    // Template library. showTemplateEdit gets -2 in ctx.key for the site's own template.
    CommandHandler showTemplateEdit, showTemplateSelect, saveEditedTemplate, saveNewTemplate,
        useDefaultTemplate, useLibraryTemplate, previewLibraryTemplate, useUserTemplate,
        editUserTemplate, deleteUserTemplate, makeDesign, makeInstance, showOfferedTemplates,
        getImportTemplate, leaveOfferedTemplates, importSelected, bigView;
    // Template designer. designProperty serves "<$background", "<$font", "<$border",
    // "<$align", "<$visible" and "<$textfont" (ctx.command tells which, ctx.list the values).
    CommandHandler saveDesign, saveDesignAs, saveDesignNew, closeDesigner, designProperty;
    // Resource import. deleteResource serves both panes (ctx.pane tells the mode).
    CommandHandler showResourceSetup, importResources, deleteResource, openGlintwatch,
        showResourceManager;
};

// How a row reads its argument.
enum class Arg {
    None,     // bare command
    Key,      // a number after the name (and its "-"): ctx.key
    Text,     // text after the name (and its "-"): ctx.argument
    List,     // values after the name, split at ",": ctx.list
    LastDash, // the text after the last "-" of the address, read as a number (front page)
};

struct CommandRow {
    std::string text; // what is searched for in the address
    Arg arg = Arg::None;
    CommandHandler action;
    bool needsOnline = false; // offline: the offline message and nothing else
    // A longer command that begins with this one: tested first, and this row is skipped when
    // it matched ("<$editlink" before "<$edit").
    std::string unlessMatched;
    // False for a row that acts only in some states and otherwise lets the page load
    // ("recentlyupdatedClient.php" online). Decided before the row runs.
    std::function<bool(AppState&)> cancels;
};

// The table of a pane, in the order its rows are tested. Empty for an unknown pane.
std::vector<CommandRow> commandTable(std::string_view paneName);

// The before-navigate decision and the commands to run, found without running anything.
struct CommandMatch {
    const CommandRow* row;
    std::size_t position; // where the command starts in the address
};

class Dispatcher {
public:
    Dispatcher(AppState& app, CommandHandlers handlers);

    // The commands of `paneName` found in `address`, in table order.
    std::vector<CommandMatch> find(std::string_view paneName, std::string_view address) const;

    // Before-navigate: finds the commands, calls `decided(cancel)` at once (so the page can
    // be answered before anything runs), then runs each matching command. An address that
    // holds "<$" but no command of the pane is cancelled with a message, as following it
    // could only fail. Returns whether the navigation was cancelled.
    bool beforeNavigate(const std::string& paneName, const std::string& address,
                        const std::function<void(bool cancel)>& decided = {});

private:
    void run(const CommandMatch& match, const std::string& paneName, const std::string& address);

    AppState& m_app;
    CommandHandlers m_handlers;
    std::vector<std::pair<std::string, std::vector<CommandRow>>> m_tables;
};

// Cuts the argument of a command whose name ends at `end` in `address`: skips one "-" or ","
// right after the name and drops a final "$>".
std::string cutArgument(std::string_view address, std::size_t end);
// Splits at every ",".
std::vector<std::string> splitList(std::string_view text);

} // namespace vellumite
