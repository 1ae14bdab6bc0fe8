// Page commands: the command tables of the eight panes, argument cutting, and the dispatcher.
#pragma once

#include "shell/app_state.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// What a handler gets: the pane and address of the navigation, and the command's argument.
struct CommandContext {
    AppState& app;
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

using CommandHandler = std::function<void(CommandContext&)>;

// The named handlers the command tables call. Each later piece of the editor replaces the
// handlers it owns; until then a handler says plainly "This function is not available yet.".
//
// How a screen plugs in: write the operation as a function `void f(CommandContext& ctx)` in its
// subsystem (it reads ctx.app for the database, LogID and host, and ctx.key / ctx.argument /
// ctx.list for its argument), then assign it in installCommandHandlers() in
// page_commands_install.cpp, e.g. `h.postNew = subPostNew;`. The table rows (order, matching,
// argument cutting, the online check) stay as they are.
//
// How a handler shows a page: build the text from the template, write it whole with
// platform::files::writeFileAtomic(ctx.app.htmlFile("contentedit.html"), text), then
// showPane(ctx.app, pane::Content, ctx.app.htmlFile("contentedit.html")) for a whole pane, or
// ctx.app.host.pane(pane::Content).document().frame(0).navigate(ctx.app.htmlFile(...)) for a
// frame. Form fields, class names and selections go through Document (platform/host.h);
// questions through ctx.app.host.msgBox(text, title, platform::MsgButtons::YesNo).
//
// A handler may throw (DbError, DomError, std::exception): the dispatcher shows the error's
// description in a message box and the program goes on.
struct CommandHandlers {
    // Sites. createSite gets the typed name in ctx.argument; openSite the key.
    CommandHandler buildSiteList, createSite, openSite, showPasswordDialog, deleteOpenSite;
    // Site settings.
    CommandHandler showSettings, saveSettings, saveTitles, saveRecentSettings, viewUserSite;
    // Editor page sections. showPostSet gets the set number in ctx.key.
    CommandHandler showToolbarItems, showRecentPosts, showResources, showArchives, showPostSet;
    // Post editor and drafts. showEditor is the blank editor reached from other screens.
    CommandHandler showEditor, clearEditor, postNew, editPost, postEdit, deletePost, archDeletePost,
        archAdd, saveDraftNew, showDrafts, draftEdit;
    // Links, categories, highlights.
    CommandHandler showUserLinks, saveUserLink, editLink, deleteLink, recentPostAdd, removePost,
        showCategoryChooser, setCategory, removeCategory, saveCategory, editCategory,
        deleteCategory;
    // Builds the settings screen's category frame page (no command of its own).
    CommandHandler buildCategoryPage;
    // Formatting and insertion tools.
    CommandHandler bold, italic, underline, indent, insertLink, insertImage, setLink, newsAlertEdit,
        toolbarAdd, toolbarDelete, anchorTo, wordEdit;
    // Site generation, publishing, web service, upload dialogs.
    CommandHandler preview, publish, archPublish, siteSetup, clearImage;
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

inline constexpr std::string_view kNotAvailable = "This function is not available yet.";

// Every handler set to one that shows kNotAvailable.
CommandHandlers notAvailableHandlers();
// The handlers of the program: notAvailableHandlers() with each finished one assigned.
CommandHandlers installCommandHandlers();

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
std::vector<CommandRow> commandTable(std::string_view paneName, const CommandHandlers& h);

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
