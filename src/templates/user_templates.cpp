// Making, editing, saving, using and deleting user templates.
#include "templates/user_templates.h"

#include "core/fill_engine.h"
#include "core/page_text.h"
#include "core/panes.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "templates/template_designer.h"
#include "templates/template_library.h"

namespace vellumite {

namespace {

using platform::MsgButtons;
using platform::MsgResult;

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

std::optional<platform::Recordset> findUserTemplate(AppState& app, std::int32_t key) {
    auto rs =
        app.db().openRecordset("SELECT * FROM VellumiteUserTemplate WHERE templateID=?", {key});
    if (rs.eof())
        return std::nullopt;
    return rs;
}

void sayTemplateIsGone(AppState& app, std::int32_t key) {
    app.host.msgBox("The template number " + std::to_string(key) +
                        " no longer exists.  Please choose a template.",
                    "Vellumite");
}

std::int32_t siteTemplate(AppState& app) {
    return readInt(openSiteRow(app.db(), app.logId, "UseDesignerTemplate")["UseDesignerTemplate"]);
}

} // namespace

bool templateNameInUse(AppState& app, std::string_view name) {
    return !app.db()
                .openRecordset("SELECT templateID FROM VellumiteUserTemplate WHERE templatename=?",
                               {std::string(name)})
                .eof();
}

std::optional<std::string> askTemplateName(AppState& app, std::string_view prompt) {
    for (;;) {
        auto answer = app.host.inputBox(prompt, kNewTemplateTitle);
        if (!answer || !templateNameInUse(app, *answer))
            return answer;
        app.host.msgBox(kTemplateNameInUse, "Vellumite");
    }
}

std::int32_t addUserTemplate(AppState& app, const std::string& name, const std::string& html,
                             bool design) {
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteUserTemplate WHERE templateID=0");
    rs.addNew();
    rs.setField("templatename", name);
    rs.setField("htmltext", html);
    rs.setField("cssText", "");
    rs.setField("bIsDesigner", design);
    const std::int32_t key = readInt(rs["templateID"]);
    rs.update();
    return key;
}

std::optional<std::int32_t> subMakeUserTemplate(AppState& app, std::string_view libraryName,
                                                bool design) {
    if (!acceptTemplateName(app, libraryName))
        return std::nullopt;
    const std::string html = readLibraryTemplate(app.appFolder, libraryName);
    auto name = askTemplateName(app, kNewTemplatePrompt);
    // A template without a name could never be listed, so an empty answer makes none.
    if (!name || isBlank(*name))
        return std::nullopt;
    const std::int32_t key = addUserTemplate(app, *name, html, design);
    setSiteTemplate(app, key);
    return key;
}

std::string templateEditPage(AppState& app, std::int32_t key, const std::string& name,
                             const std::string& html) {
    auto site = openSiteRow(app.db(), app.logId);
    std::string page = readEditorTemplate(app.appFolder, "template-edit.html");
    const std::pair<std::string_view, std::string> tags[] = {
        {"<$vellumitetitle$>", app.displayTitle},
        {"<$VellumiteLinks$>", readText(site["LinkTitle"])},
        {"<$VellumiteHighlights$>", readText(site["highlightTitle"])},
        {"<$VellumiteCategories$>", readText(site["categorytitle"])},
        {"<$TemplateName$>", name},
        {"<$TemplateID$>", std::to_string(key)},
    };
    for (const auto& [tag, value] : tags)
        platform::replaceAll(page, tag, platform::htmlEscape(value));
    // Last, so that the tags the template itself holds are left as they are; escaped, so that
    // the template is the text area's text and a reload of the page still shows it.
    platform::replaceAll(page, "<$VellumiteHTMLText$>", textareaText(html));
    return page;
}

void subShowTemplateEdit(AppState& app, std::int32_t key) {
    const std::int32_t current = siteTemplate(app);
    if (key == -2)
        key = current;
    if (key == 0) {
        subShowTemplateSelect(app);
        return;
    }
    auto row = findUserTemplate(app, key);
    if (!row) {
        sayTemplateIsGone(app, key);
        subShowTemplateSelect(app);
        return;
    }
    if (current <= 0)
        setSiteTemplate(app, key);
    if ((*row)["bIsDesigner"].toBool()) {
        subShowDesigner(app, key);
        return;
    }
    const std::string page =
        templateEditPage(app, key, readText((*row)["templatename"]), readText((*row)["htmltext"]));
    writeEditorPage(app.appFolder, "edit.html", page);
    showPane(app, pane::TempEdit, app.htmlFile("edit.html"));
}

bool subSaveEditedTemplate(AppState& app, std::int32_t key, bool asNew) {
    if (!asNew && app.host.msgBox(kAlterForAllSites, "Save?", MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    // Read before anything is stored: a page without the text stores nothing.
    const std::string html =
        app.host.pane(pane::TempEdit).document().fieldValue(std::string(kEditForm), kEditText);
    if (asNew) {
        auto name = askTemplateName(app, kRenamePrompt);
        if (!name)
            return false;
        // An empty name stores the text into the template being edited.
        if (!isBlank(*name))
            key = addUserTemplate(app, *name, html, false);
    }
    if (app.db().execute("UPDATE VellumiteUserTemplate SET htmltext=? WHERE templateID=?",
                         {html, key}) == 0) {
        app.host.msgBox("The template being edited no longer exists.  Save it under a new name "
                        "to keep your changes.",
                        "Vellumite");
        return false;
    }
    setSiteTemplate(app, key);
    return true;
}

bool subUseUserTemplate(AppState& app, std::int32_t key) {
    if (!findUserTemplate(app, key)) {
        sayTemplateIsGone(app, key);
        return false;
    }
    setSiteTemplate(app, key);
    return true;
}

void subDeleteUserTemplate(AppState& app, std::int32_t key) {
    const bool used =
        !app.db()
             .openRecordset("SELECT LogID FROM VellumiteLog WHERE UseDesignerTemplate=?", {key})
             .eof();
    if (used && app.host.msgBox(kDeleteUsedTemplate, "Delete template?", MsgButtons::YesNo) !=
                    MsgResult::Yes)
        return;
    app.db().execute("DELETE FROM VellumiteUserTemplate WHERE templateID=?", {key});
    // Those sites have no template now: preview and publish ask for one.
    if (used)
        app.db().execute("UPDATE VellumiteLog SET UseDesignerTemplate=0, TemplatedHTML='' WHERE "
                         "UseDesignerTemplate=?",
                         {key});
}

} // namespace vellumite
