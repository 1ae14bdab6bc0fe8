// The command tables of the eight panes and the dispatcher that runs them.
#include "shell/page_commands.h"

#include "platform/numbers.h"
#include "platform/text.h"
#include "shell/panes.h"
#include "store/settings_screen.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellumite {

namespace {

using platform::MsgButtons;
using platform::MsgResult;

// Thrown by a handler that is not built yet, after it has said so; stops the row's later steps.
struct NotAvailable {};

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool hasNumber(std::string_view text) {
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '+' || c == '-' || c == '.')
            continue;
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    }
    return false;
}

// The image dialog starts from these values whenever the editor leaves the post; a dialog not
// made yet starts from them anyway.
void resetImageDialog(AppState& app) {
    platform::Form* image = app.host.findForm("frmImage");
    if (!image)
        return;
    if (image->has("txtFile"))
        image->setText("txtFile", "");
    if (image->has("txtImageWidth"))
        image->setText("txtImageWidth", "200");
    if (image->has("txtImageHeight"))
        image->setText("txtImageHeight", "200");
    if (image->has("chkPopup"))
        image->setChecked("chkPopup", false);
}

bool ask(AppState& app, std::string_view text, std::string_view title) {
    return app.host.msgBox(text, title, MsgButtons::YesNo) == MsgResult::Yes;
}

CommandHandler help(std::string path) {
    return [path](CommandContext& ctx) {
        whenOnline(ctx.app, [&] { openDisplayWindow(ctx.app, ctx.app.serviceAddress(path)); });
    };
}

CommandHandler openHelpPage(std::string path) {
    return
        [path](CommandContext& ctx) { openDisplayWindow(ctx.app, ctx.app.serviceAddress(path)); };
}

// Runs the steps in order; a step that is not available stops the rest.
CommandHandler steps(std::vector<CommandHandler> list) {
    return [list](CommandContext& ctx) {
        for (const auto& step : list)
            step(ctx);
    };
}

CommandHandler withKey(std::int32_t key, CommandHandler next) {
    return [key, next](CommandContext& ctx) {
        ctx.key = key;
        next(ctx);
    };
}

const CommandHandler kResetImage = [](CommandContext& ctx) { resetImageDialog(ctx.app); };
const CommandHandler kCloseSite = [](CommandContext& ctx) { closeSite(ctx.app); };

CommandHandler sendBack(std::string_view paneName) {
    return [p = std::string(paneName)](CommandContext& ctx) { sendPaneToBack(ctx.app, p); };
}

CommandRow row(std::string text, CommandHandler action, Arg arg = Arg::None) {
    CommandRow r;
    r.text = std::move(text);
    r.arg = arg;
    r.action = std::move(action);
    return r;
}

CommandRow online(CommandRow r) {
    r.needsOnline = true;
    return r;
}

CommandRow unless(CommandRow r, std::string longer) {
    r.unlessMatched = std::move(longer);
    return r;
}

std::vector<CommandRow> frontPageTable(const CommandHandlers& h) {
    return {
        row("<$newlog$>",
            [](CommandContext& ctx) {
                ctx.app.host.pane(pane::Frontpage)
                    .document()
                    .frame(0)
                    .navigate(ctx.app.htmlFile("newlog.html"));
            }),
        row("<$openlog$>", steps({h.buildSiteList,
                                  [](CommandContext& ctx) {
                                      ctx.app.host.pane(pane::Frontpage)
                                          .document()
                                          .frame(0)
                                          .navigate(ctx.app.htmlFile("loglist.html"));
                                  }})),
        row("?newlogname",
            [h](CommandContext& ctx) {
                ctx.argument = ctx.app.host.pane(pane::Frontpage)
                                   .document()
                                   .frame(0)
                                   .fieldValue("newlog", "newLogName");
                h.createSite(ctx);
            }),
        row("<$quit$>", [](CommandContext& ctx) { ctx.app.quitNow(); }),
        row("<$open-", h.openSite, Arg::LastDash),
        [] {
            // Offline, the frame that would load the service's list stays empty.
            CommandRow r = row("recentlyupdatedclient.php", [](CommandContext& ctx) {
                if (!ctx.app.isOnline())
                    ctx.app.host.pane(pane::Frontpage).document().frame(3).navigate("about:blank");
            });
            r.cancels = [](AppState& app) { return !app.isOnline(); };
            return r;
        }(),
    };
}

std::vector<CommandRow> contentTable(const CommandHandlers& h) {
    auto showSet = [h](bool jump) {
        return CommandHandler([h, jump](CommandContext& ctx) {
            std::int64_t n = ctx.key;
            std::int64_t page = jump ? n * 10 - 9 : n;
            ctx.app.postListPage = platform::clampToInt32(static_cast<double>(page));
            h.showPostSet(ctx);
        });
    };
    return {
        row("<$help$>", help("/help/helpcontentspecific.html")),
        row("<$toolbar$>", h.showToolbarItems),
        row("<$template$>", steps({kResetImage, withKey(-2, h.showTemplateEdit)})),
        online(row("<$resourcesetup$>", h.showResourceSetup)),
        row("<$setup$>", steps({kResetImage, h.showSettings})),
        row("<$preview$>", h.preview),
        online(row("<$viewusersite$>", h.viewUserSite)),
        row("<$post$>", h.postNew),
        row("<$editlink", h.editLink, Arg::Key),
        unless(row("<$edit", h.editPost, Arg::Key), "<$editlink"),
        row("<$deletelink", h.deleteLink, Arg::Key),
        unless(row("<$delete-", h.deletePost, Arg::Key), "<$deletelink"),
        row("<$archdelete", h.archDeletePost, Arg::Key),
        row("<$clear$>", h.clearEditor),
        row("<$postedit-", h.postEdit, Arg::Key),
        row("<$recent$>", h.showRecentPosts),
        row("<$recentnews$>", h.showResources),
        row("<$saverecentsettings$>", h.saveRecentSettings),
        row("<$UserLinks$>", h.showUserLinks),
        row("<$NewUserLink$>", h.saveUserLink),
        online(row("<$import$>", h.importResources)),
        row("<$settings$>",
            steps({kResetImage,
                   [](CommandContext& ctx) {
                       auto doc = ctx.app.host.pane(pane::Content).document();
                       std::string user = doc.fieldValue("importform", "importusername");
                       std::string password = doc.fieldValue("importform", "importpassword");
                       std::string address =
                           user.empty() || password.empty()
                               ? ctx.app.alertsAddress("/")
                               : ctx.app.alertsAddress(
                                     "/login.cgi?username=" + platform::percentEncode(user) +
                                     "&password=" + platform::percentEncode(password));
                       ctx.app.host.pane(pane::Content).navigate(address);
                   }})),
        row("<$publish$>", h.publish),
        row("<$createnewuserlink$>", h.saveUserLink),
        row("<$bold$>", h.bold),
        row("<$itelic$>", h.italic),
        row("<$underline$>", h.underline),
        row("<$indent$>", h.indent),
        row("<$href$>", h.insertLink),
        row("<$image$>", h.insertImage),
        row("<$setlink$>", h.setLink),
        row("<$newsalertedit", h.newsAlertEdit, Arg::Key),
        row("<$shownext", showSet(false), Arg::Key),
        row("<$showprev", showSet(false), Arg::Key),
        row("<$category", h.showCategoryChooser, Arg::Key),
        row("<$setCategory", h.setCategory, Arg::List),
        row("<$removecategory", h.removeCategory, Arg::Key),
        row("<$archadd", h.archAdd, Arg::Key),
        row("<$toolbaradd", h.toolbarAdd, Arg::Key),
        row("<$toolbardelete", h.toolbarDelete, Arg::Key),
        row("<$goglintwatch$>", h.openGlintwatch),
        row("<$close$>", steps({kResetImage, kCloseSite})),
        row("<$jumptoset", showSet(true), Arg::Key),
        row("<$recentpostadd-", h.recentPostAdd, Arg::Key),
        row("<$removepost-", h.removePost, Arg::Key),
        row("<$savedraft$>", h.saveDraftNew),
        row("<$draft$>", h.showDrafts),
        row("<$draftedit", h.draftEdit, Arg::Key),
        row("<$anchorto", h.anchorTo, Arg::Key),
        row("<$archives$>", h.showArchives),
        row("<$clearimg$>", h.clearImage),
        row("<$managelist$>", h.showResourceManager),
        row("<$deleteResource-", h.deleteResource, Arg::Key),
        row("<$archPublish$>", h.archPublish),
        online(row("<$mswordedit", h.wordEdit, Arg::Key)),
    };
}

std::vector<CommandRow> setupTable(const CommandHandlers& h) {
    return {
        row("<$help$>", help("/help/helpsetupspecific.html")),
        row("<$Setpassword$>", h.showPasswordDialog),
        row("<$template$>",
            [h](CommandContext& ctx) {
                if (!settingsComplete(ctx.app) &&
                    !ask(ctx.app,
                         "Your settings have not been saved.  Are you sure you wish to continue?",
                         "Continue?"))
                    return;
                ctx.key = -2;
                h.showTemplateEdit(ctx);
            }),
        row("<$content$>",
            [h](CommandContext& ctx) {
                if (!settingsComplete(ctx.app) &&
                    !ask(ctx.app,
                         "Your current settings are not complete, are you sure you wish to "
                         "continue?  If you have entered your settings click NO and then the save "
                         "settings button at the bottom of this page.",
                         "Continue?"))
                    return;
                h.showEditor(ctx);
            }),
        row("<$savesettings$>", h.saveSettings),
        row("<$deletethisblog$>", h.deleteOpenSite),
        row("<$NewCategory$>", h.saveCategory),
        row("<$deleteCategory-", h.deleteCategory, Arg::Key),
        row("<$editCategory-", h.editCategory, Arg::Key),
        row("<$savetitles$>", h.saveTitles),
        row("<$close$>", kCloseSite),
        row("<$savecategory$>", h.saveCategory),
        online(row("<$siteSetup$>", h.siteSetup)),
    };
}

std::vector<CommandRow> tempEditTable(const CommandHandlers& h) {
    return {
        row("<$help$>", help("/help/helptemplatespecific.html")),
        row("<$select$>", h.showTemplateSelect),
        row("<$content$>", h.showEditor),
        row("<$saveedit", h.saveEditedTemplate, Arg::List),
        row("<$savenew", h.saveNewTemplate, Arg::List),
        row("<$settings$>", h.showSettings),
        row("<$close$>", kCloseSite),
        row("<$cancel$>", sendBack(pane::TempEdit)),
        online(row("htmlhelp", openHelpPage("/help/html/htmlhelp.html"))),
    };
}

std::vector<CommandRow> templateSelectTable(const CommandHandlers& h) {
    return {
        row("<$help$>", help("/help/helptemplatespecific.html")),
        row("<$select$>", h.showTemplateSelect),
        row("<$content$>", h.showEditor),
        row("<$settings$>", h.showSettings),
        row("<$close$>", kCloseSite),
        row("<$usedefault$>", h.useDefaultTemplate),
        row("<$usetemplate-", h.useLibraryTemplate, Arg::Text),
        row("<$showprev-", h.previewLibraryTemplate, Arg::Text),
        row("<$usertemplate-", h.useUserTemplate, Arg::Key),
        row("<$edittemplate-", h.editUserTemplate, Arg::Key),
        row("<$deleteusertemplate-", h.deleteUserTemplate, Arg::Key),
        row("<$makeDesign-", h.makeDesign, Arg::Text),
        row("<$makeInstance-", h.makeInstance, Arg::Text),
        online(row("<$import", h.showOfferedTemplates)),
        row("<$getimporttemplate-", h.getImportTemplate, Arg::Text),
        row("<$selectmode$>", h.leaveOfferedTemplates),
        row("<$ImportSelected$>", h.importSelected),
        row("<$bigview", h.bigView, Arg::Text),
    };
}

std::vector<CommandRow> designerTable(const CommandHandlers& h) {
    return {
        row("<$help$>", help("/forum/index.php")),
        row("<$savetemplate$>", h.saveDesign),
        row("<$savetemplateas$>", h.saveDesignAs),
        row("<$savetemplatenew$>", h.saveDesignNew),
        row("<$closetemplate$>", h.closeDesigner),
        row("<$selectnew$>", h.showTemplateSelect),
        row("<$background", h.designProperty, Arg::List),
        row("<$font", h.designProperty, Arg::List),
        row("<$border", h.designProperty, Arg::List),
        row("<$align", h.designProperty, Arg::List),
        row("<$visible", h.designProperty, Arg::List),
        row("<$textfont", h.designProperty, Arg::List),
    };
}

std::vector<CommandRow> manageResourcesTable(const CommandHandlers& h) {
    return {
        row("<$deleteResource-", h.deleteResource, Arg::Key),
        row("<$help$>", help("/forum/index.php")),
        row("<$doneResources$>", steps({sendBack(pane::ManageResources), h.showResources})),
    };
}

std::vector<CommandRow> siteSetupTable(const CommandHandlers& h) {
    return {
        row("<$help$>", help("/forum/index.php")),
        row("<$setup$>", h.showSettings),
        row("<$content$>", h.showEditor),
        row("<$template$>", withKey(-2, h.showTemplateEdit)),
        row("<$close$>", kCloseSite),
        row("<$doneResources$>", sendBack(pane::SiteSetup)),
    };
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

CommandHandlers notAvailableHandlers() {
    CommandHandler na = [](CommandContext& ctx) {
        ctx.app.host.msgBox(kNotAvailable, "Vellumite");
        throw NotAvailable{};
    };
    CommandHandlers h;
    for (CommandHandler* f : {
             &h.buildSiteList,
             &h.createSite,
             &h.openSite,
             &h.showPasswordDialog,
             &h.deleteOpenSite,
             &h.showSettings,
             &h.saveSettings,
             &h.saveTitles,
             &h.saveRecentSettings,
             &h.viewUserSite,
             &h.showToolbarItems,
             &h.showRecentPosts,
             &h.showResources,
             &h.showArchives,
             &h.showPostSet,
             &h.showEditor,
             &h.clearEditor,
             &h.postNew,
             &h.editPost,
             &h.postEdit,
             &h.deletePost,
             &h.archDeletePost,
             &h.archAdd,
             &h.saveDraftNew,
             &h.showDrafts,
             &h.draftEdit,
             &h.showUserLinks,
             &h.saveUserLink,
             &h.editLink,
             &h.deleteLink,
             &h.recentPostAdd,
             &h.removePost,
             &h.showCategoryChooser,
             &h.setCategory,
             &h.removeCategory,
             &h.saveCategory,
             &h.editCategory,
             &h.deleteCategory,
             &h.buildCategoryPage,
             &h.bold,
             &h.italic,
             &h.underline,
             &h.indent,
             &h.insertLink,
             &h.insertImage,
             &h.setLink,
             &h.newsAlertEdit,
             &h.toolbarAdd,
             &h.toolbarDelete,
             &h.anchorTo,
             &h.wordEdit,
             &h.preview,
             &h.publish,
             &h.archPublish,
             &h.siteSetup,
             &h.clearImage,
             &h.showTemplateEdit,
             &h.showTemplateSelect,
             &h.saveEditedTemplate,
             &h.saveNewTemplate,
             &h.useDefaultTemplate,
             &h.useLibraryTemplate,
             &h.previewLibraryTemplate,
             &h.useUserTemplate,
             &h.editUserTemplate,
             &h.deleteUserTemplate,
             &h.makeDesign,
             &h.makeInstance,
             &h.showOfferedTemplates,
             &h.getImportTemplate,
             &h.leaveOfferedTemplates,
             &h.importSelected,
             &h.bigView,
             &h.saveDesign,
             &h.saveDesignAs,
             &h.saveDesignNew,
             &h.closeDesigner,
             &h.designProperty,
             &h.showResourceSetup,
             &h.importResources,
             &h.deleteResource,
             &h.openGlintwatch,
             &h.showResourceManager,
         })
        *f = na;
    return h;
}

std::vector<CommandRow> commandTable(std::string_view paneName, const CommandHandlers& h) {
    if (paneName == pane::Frontpage)
        return frontPageTable(h);
    if (paneName == pane::Content)
        return contentTable(h);
    if (paneName == pane::Setup)
        return setupTable(h);
    if (paneName == pane::TempEdit)
        return tempEditTable(h);
    if (paneName == pane::TemplateSelect)
        return templateSelectTable(h);
    if (paneName == pane::TemplateDesigner)
        return designerTable(h);
    if (paneName == pane::ManageResources)
        return manageResourcesTable(h);
    if (paneName == pane::SiteSetup)
        return siteSetupTable(h);
    return {};
}

std::string cutArgument(std::string_view address, std::size_t end) {
    std::string_view rest = address.substr(std::min(end, address.size()));
    if (!rest.empty() && (rest.front() == '-' || rest.front() == ','))
        rest.remove_prefix(1);
    if (rest.size() >= 2 && rest.substr(rest.size() - 2) == "$>")
        rest.remove_suffix(2);
    return std::string(rest);
}

std::vector<std::string> splitList(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        out.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

Dispatcher::Dispatcher(AppState& app, CommandHandlers handlers)
    : m_app(app), m_handlers(std::move(handlers)) {
    for (auto name : kPaneNames)
        m_tables.emplace_back(std::string(name), commandTable(name, m_handlers));
}

std::vector<CommandMatch> Dispatcher::find(std::string_view paneName,
                                           std::string_view address) const {
    std::vector<CommandMatch> found;
    const std::vector<CommandRow>* table = nullptr;
    for (const auto& [name, rows] : m_tables)
        if (name == paneName)
            table = &rows;
    if (!table)
        return found;
    // The front page matches without regard to case; elsewhere only help does.
    const bool front = paneName == pane::Frontpage;
    const std::string lower = lowered(address);
    std::vector<std::string> matched;
    for (const auto& r : *table) {
        std::string_view hay = (front || r.text == "<$help$>") ? std::string_view(lower) : address;
        std::size_t pos = hay.find(r.text);
        if (pos == std::string_view::npos)
            continue;
        matched.push_back(r.text);
        if (!r.unlessMatched.empty() &&
            std::find(matched.begin(), matched.end(), r.unlessMatched) != matched.end())
            continue;
        found.push_back(CommandMatch{&r, pos});
    }
    return found;
}

bool Dispatcher::beforeNavigate(const std::string& paneName, const std::string& address,
                                const std::function<void(bool)>& decided) {
    auto matches = find(paneName, address);
    bool cancel = false;
    for (const auto& m : matches)
        cancel |= !m.row->cancels || m.row->cancels(m_app);
    const bool unknownCommand = matches.empty() && address.find("<$") != std::string::npos;
    cancel |= unknownCommand;
    if (decided)
        decided(cancel);

    if (unknownCommand) {
        std::string_view shown = std::string_view(address).substr(address.find("<$"));
        m_app.host.msgBox("This screen has no page command " + quoted(shown) + ".", "Vellumite");
        return true;
    }
    for (const auto& m : matches)
        run(m, paneName, address);
    return cancel;
}

void Dispatcher::run(const CommandMatch& match, const std::string& paneName,
                     const std::string& address) {
    const CommandRow& r = *match.row;
    if (r.needsOnline && !m_app.isOnline()) {
        m_app.host.msgBox(kOfflinePrompt, kOfflineTitle);
        return;
    }
    CommandContext ctx{m_app, paneName, address, r.text, {}, 0, {}};
    std::string_view shown = std::string_view(address).substr(match.position);
    switch (r.arg) {
    case Arg::None:
        break;
    case Arg::Text:
    case Arg::List:
    case Arg::Key:
        ctx.argument = cutArgument(address, match.position + r.text.size());
        ctx.list = splitList(ctx.argument);
        break;
    case Arg::LastDash: {
        std::size_t dash = address.rfind('-');
        ctx.argument = cutArgument(address, dash == std::string::npos ? address.size() : dash);
        break;
    }
    }
    if (r.arg == Arg::Key || r.arg == Arg::LastDash) {
        if (!hasNumber(ctx.argument)) {
            m_app.host.msgBox("The page command " + quoted(shown) + " needs a number.",
                              "Vellumite");
            return;
        }
        double value = platform::leadingNumber(ctx.argument);
        if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
            m_app.host.msgBox("The number in the page command " + quoted(shown) +
                                  " is out of range.",
                              "Vellumite");
            return;
        }
        ctx.key = platform::clampToInt32(value);
    }
    try {
        r.action(ctx);
    } catch (const NotAvailable&) {
        // already said
    } catch (const platform::DbError& e) {
        m_app.host.msgBox(e.description(), "Vellumite");
    } catch (const std::exception& e) {
        m_app.host.msgBox(e.what(), "Vellumite");
    }
}

} // namespace vellumite
