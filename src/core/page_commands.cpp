// The command tables of the eight panes and the dispatcher that runs them.
#include "core/page_commands.h"

#include "core/panes.h"
#include "core/post_dialogs.h"
#include "platform/numbers.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellumite {

namespace {

using platform::MsgButtons;
using platform::MsgResult;

bool hasNumber(std::string_view text) {
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '+' || c == '-' || c == '.')
            continue;
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    }
    return false;
}

using H = CommandHandlers;

// A row's action that runs whatever handler the table holds under `member` when it runs.
CommandHandler call(CommandHandler CommandHandlers::*member) {
    return [member](CommandContext& ctx) { (ctx.handlers.*member)(ctx); };
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

CommandRow row(std::string text, CommandHandler H::*member, Arg arg = Arg::None) {
    return row(std::move(text), call(member), arg);
}

CommandRow online(CommandRow r) {
    r.needsOnline = true;
    return r;
}

CommandRow unless(CommandRow r, std::string longer) {
    r.unlessMatched = std::move(longer);
    return r;
}

std::vector<CommandRow> frontPageTable() {
    return {
        row("<$newlog$>",
            [](CommandContext& ctx) {
                ctx.app.host.pane(pane::Frontpage)
                    .document()
                    .frame(0)
                    .navigate(ctx.app.htmlFile("newlog.html"));
            }),
        row("<$openlog$>", steps({call(&H::buildSiteList),
                                  [](CommandContext& ctx) {
                                      ctx.app.host.pane(pane::Frontpage)
                                          .document()
                                          .frame(0)
                                          .navigate(ctx.app.htmlFile("loglist.html"));
                                  }})),
        row("?newlogname",
            [](CommandContext& ctx) {
                ctx.argument = ctx.app.host.pane(pane::Frontpage)
                                   .document()
                                   .frame(0)
                                   .fieldValue("newlog", "newLogName");
                ctx.handlers.createSite(ctx);
            }),
        row("<$quit$>", [](CommandContext& ctx) { ctx.app.quitNow(); }),
        row("<$open-", &H::openSite, Arg::LastDash),
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

std::vector<CommandRow> contentTable() {
    auto showSet = [](bool jump) {
        return CommandHandler([jump](CommandContext& ctx) {
            std::int64_t n = ctx.key;
            std::int64_t page = jump ? n * 10 - 9 : n;
            ctx.app.postListPage = platform::clampToInt32(static_cast<double>(page));
            ctx.handlers.showPostSet(ctx);
        });
    };
    return {
        row("<$help$>", help("/help/helpcontentspecific.html")),
        row("<$toolbar$>", &H::showToolbarItems),
        row("<$template$>", steps({kResetImage, withKey(-2, call(&H::showTemplateEdit))})),
        online(row("<$resourcesetup$>", &H::showResourceSetup)),
        row("<$setup$>", steps({kResetImage, call(&H::showSettings)})),
        row("<$preview$>", &H::preview),
        online(row("<$viewusersite$>", &H::viewUserSite)),
        row("<$post$>", &H::postNew),
        row("<$editlink", &H::editLink, Arg::Key),
        unless(row("<$edit", &H::editPost, Arg::Key), "<$editlink"),
        row("<$deletelink", &H::deleteLink, Arg::Key),
        unless(row("<$delete-", &H::deletePost, Arg::Key), "<$deletelink"),
        row("<$archdelete", &H::archDeletePost, Arg::Key),
        row("<$clear$>", &H::clearEditor),
        row("<$postedit-", &H::postEdit, Arg::Key),
        row("<$recent$>", &H::showRecentPosts),
        row("<$recentnews$>", &H::showResources),
        row("<$saverecentsettings$>", &H::saveRecentSettings),
        row("<$UserLinks$>", &H::showUserLinks),
        row("<$NewUserLink$>", &H::saveUserLink),
        online(row("<$import$>", &H::importResources)),
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
        row("<$publish$>", &H::publish),
        row("<$createnewuserlink$>", &H::saveUserLink),
        row("<$bold$>", &H::bold),
        row("<$itelic$>", &H::italic),
        row("<$underline$>", &H::underline),
        row("<$indent$>", &H::indent),
        row("<$href$>", &H::insertLink),
        row("<$image$>", &H::insertImage),
        row("<$setlink$>", &H::setLink),
        row("<$newsalertedit", &H::newsAlertEdit, Arg::Key),
        row("<$shownext", showSet(false), Arg::Key),
        row("<$showprev", showSet(false), Arg::Key),
        row("<$category", &H::showCategoryChooser, Arg::Key),
        row("<$setCategory", &H::setCategory, Arg::List),
        row("<$removecategory", &H::removeCategory, Arg::Key),
        row("<$archadd", &H::archAdd, Arg::Key),
        row("<$toolbaradd", &H::toolbarAdd, Arg::Key),
        row("<$toolbardelete", &H::toolbarDelete, Arg::Key),
        row("<$goglintwatch$>", &H::openGlintwatch),
        row("<$close$>", steps({kResetImage, kCloseSite})),
        row("<$jumptoset", showSet(true), Arg::Key),
        row("<$recentpostadd-", &H::recentPostAdd, Arg::Key),
        row("<$removepost-", &H::removePost, Arg::Key),
        row("<$savedraft$>", &H::saveDraftNew),
        row("<$draft$>", &H::showDrafts),
        row("<$draftedit", &H::draftEdit, Arg::Key),
        row("<$anchorto", &H::anchorTo, Arg::Key),
        row("<$archives$>", &H::showArchives),
        row("<$clearimg$>", &H::clearImage),
        row("<$managelist$>", &H::showResourceManager),
        row("<$deleteResource-", &H::deleteResource, Arg::Key),
        row("<$archPublish$>", &H::archPublish),
        online(row("<$mswordedit", &H::wordEdit, Arg::Key)),
    };
}

std::vector<CommandRow> setupTable() {
    return {
        row("<$help$>", help("/help/helpsetupspecific.html")),
        row("<$Setpassword$>", &H::showPasswordDialog),
        row("<$template$>", &H::leaveSettingsForTemplate),
        row("<$content$>", &H::leaveSettingsForEditor),
        row("<$savesettings$>", &H::saveSettings),
        row("<$deletethisblog$>", &H::deleteOpenSite),
        row("<$NewCategory$>", &H::saveCategory),
        row("<$deleteCategory-", &H::deleteCategory, Arg::Key),
        row("<$editCategory-", &H::editCategory, Arg::Key),
        row("<$savetitles$>", &H::saveTitles),
        row("<$close$>", kCloseSite),
        row("<$savecategory$>", &H::saveCategory),
        online(row("<$siteSetup$>", &H::siteSetup)),
    };
}

std::vector<CommandRow> tempEditTable() {
    return {
        row("<$help$>", help("/help/helptemplatespecific.html")),
        row("<$select$>", &H::showTemplateSelect),
        row("<$content$>", &H::showEditor),
        row("<$saveedit", &H::saveEditedTemplate, Arg::List),
        row("<$savenew", &H::saveNewTemplate, Arg::List),
        row("<$settings$>", &H::showSettings),
        row("<$close$>", kCloseSite),
        row("<$cancel$>", sendBack(pane::TempEdit)),
        online(row("htmlhelp", openHelpPage("/help/html/htmlhelp.html"))),
    };
}

std::vector<CommandRow> templateSelectTable() {
    return {
        row("<$help$>", help("/help/helptemplatespecific.html")),
        row("<$select$>", &H::showTemplateSelect),
        row("<$content$>", &H::showEditor),
        row("<$settings$>", &H::showSettings),
        row("<$close$>", kCloseSite),
        row("<$usedefault$>", &H::useDefaultTemplate),
        row("<$usetemplate-", &H::useLibraryTemplate, Arg::Text),
        row("<$showprev-", &H::previewLibraryTemplate, Arg::Text),
        row("<$usertemplate-", &H::useUserTemplate, Arg::Key),
        row("<$edittemplate-", &H::editUserTemplate, Arg::Key),
        row("<$deleteusertemplate-", &H::deleteUserTemplate, Arg::Key),
        row("<$makeDesign-", &H::makeDesign, Arg::Text),
        row("<$makeInstance-", &H::makeInstance, Arg::Text),
        online(row("<$import", &H::showOfferedTemplates)),
        row("<$getimporttemplate-", &H::getImportTemplate, Arg::Text),
        row("<$selectmode$>", &H::leaveOfferedTemplates),
        row("<$ImportSelected$>", &H::importSelected),
        row("<$bigview", &H::bigView, Arg::Text),
    };
}

std::vector<CommandRow> designerTable() {
    return {
        row("<$help$>", help("/forum/index.php")),
        row("<$savetemplate$>", &H::saveDesign),
        row("<$savetemplateas$>", &H::saveDesignAs),
        row("<$savetemplatenew$>", &H::saveDesignNew),
        row("<$closetemplate$>", &H::closeDesigner),
        row("<$selectnew$>", &H::showTemplateSelect),
        row("<$background", &H::designProperty, Arg::List),
        row("<$font", &H::designProperty, Arg::List),
        row("<$border", &H::designProperty, Arg::List),
        row("<$align", &H::designProperty, Arg::List),
        row("<$visible", &H::designProperty, Arg::List),
        row("<$textfont", &H::designProperty, Arg::List),
    };
}

std::vector<CommandRow> manageResourcesTable() {
    return {
        row("<$deleteResource-", &H::deleteResource, Arg::Key),
        row("<$help$>", help("/forum/index.php")),
        row("<$doneResources$>", steps({sendBack(pane::ManageResources), call(&H::showResources)})),
    };
}

std::vector<CommandRow> siteSetupTable() {
    return {
        row("<$help$>", help("/forum/index.php")),
        row("<$setup$>", &H::showSettings),
        row("<$content$>", &H::showEditor),
        row("<$template$>", withKey(-2, call(&H::showTemplateEdit))),
        row("<$close$>", kCloseSite),
        row("<$doneResources$>", sendBack(pane::SiteSetup)),
    };
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

void CommandHandler::operator()(CommandContext& ctx) const {
    if (!m_run) {
        ctx.app.host.msgBox(kNotAvailable, "Vellumite");
        throw CommandNotAvailable{};
    }
    m_run(ctx);
}

std::vector<CommandRow> commandTable(std::string_view paneName) {
    if (paneName == pane::Frontpage)
        return frontPageTable();
    if (paneName == pane::Content)
        return contentTable();
    if (paneName == pane::Setup)
        return setupTable();
    if (paneName == pane::TempEdit)
        return tempEditTable();
    if (paneName == pane::TemplateSelect)
        return templateSelectTable();
    if (paneName == pane::TemplateDesigner)
        return designerTable();
    if (paneName == pane::ManageResources)
        return manageResourcesTable();
    if (paneName == pane::SiteSetup)
        return siteSetupTable();
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
        m_tables.emplace_back(std::string(name), commandTable(name));
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
    const std::string lower = platform::asciiLower(address);
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
    CommandContext ctx{m_app, m_handlers, paneName, address, r.text, {}, 0, {}};
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
    } catch (const CommandNotAvailable&) {
        // already said
    } catch (const platform::DbError& e) {
        m_app.host.msgBox(e.description(), "Vellumite");
    } catch (const std::exception& e) {
        m_app.host.msgBox(e.what(), "Vellumite");
    }
}

} // namespace vellumite
