// The designer's page, its property commands, and saving a design.
#include "templates/template_designer.h"

#include "core/fill_engine.h"
#include "core/panes.h"
#include "platform/numbers.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "templates/template_library.h"
#include "templates/user_templates.h"

#include <stdexcept>

namespace vellumite {

namespace {

using platform::MsgButtons;
using platform::MsgResult;

constexpr std::string_view kIdForm = "TemplateID";
constexpr std::string_view kIdField = "ID";
// The designer page's own second style sheet: one colour sample rule each for the background,
// the font and the border.
constexpr int kSampleSheet = 1;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Where the first style block's text starts and ends, or npos.
std::pair<std::size_t, std::size_t> styleBlock(std::string_view html) {
    const std::string lower = platform::asciiLower(html);
    for (std::size_t at = lower.find("<style"); at != std::string::npos;
         at = lower.find("<style", at + 1)) {
        const std::size_t after = at + 6;
        if (after < lower.size() && (lower[after] == '>' || isSpace(lower[after]))) {
            const std::size_t open = lower.find('>', at);
            const std::size_t close =
                open == std::string::npos ? open : lower.find("</style", open);
            if (close == std::string::npos)
                break;
            return {open + 1, close};
        }
    }
    return {std::string::npos, std::string::npos};
}

platform::Document designerDocument(AppState& app) {
    return app.host.pane(pane::TemplateDesigner).document();
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

} // namespace

int designRule(std::string_view element) {
    for (std::size_t i = 0; i < kDesignElements.size(); ++i)
        if (kDesignElements[i] == element)
            return static_cast<int>(i);
    return 0;
}

std::string withStyleSheet(std::string_view html, std::string_view css) {
    const auto [begin, end] = styleBlock(html);
    std::string out(html);
    if (!css.empty() && begin != std::string::npos)
        out.replace(begin, end - begin, css);
    return out;
}

std::string designerPage(AppState& app, std::string_view html, std::string_view css) {
    std::string page = withStyleSheet(html, css);
    auto site = openSiteRow(app.db(), app.logId);
    const std::string title = readText(site["displayTitle"]);
    const std::pair<std::string_view, std::string> tags[] = {
        {"<$VellumitePageTitle$>", title},
        {"<$VellumiteLogTitle$>", title},
        {"<$LinkTitle$>", readText(site["LinkTitle"])},
        {"<$HighlightTitle$>", readText(site["highlightTitle"])},
        {"<$CategoryTitle$>", readText(site["categorytitle"])},
        {"<$VellumiteContactMe$>", readText(site["contactmetext"])},
        {"<$copyright$>", "Copyright " + readText(site["CopyrightNotice"])},
        {"<$VellumitePostTitle$>", "Sample Title"},
        {"<$VellumitePostByline$>", "Sample Byline"},
        {"<$VellumitePostBody$>", "Sample Post"},
        {"<$VellumitePostDateStamp$>", "12:41 01/01/01"},
        {"<$Startblock$>", "Start"},
        {"<$midblocks$>", "1|2|3"},
        {"<$Endblock$>", "End"},
        {"<$PrevSet$>", "Previous"},
        {"<$NextSet$>", "Next"},
        {"<$VellumiteSearchTerms$>", ""},
        {"<$LinkText$>", ""},
        {"<$HighlightText$>", ""},
        {"<$Category$>", ""},
        {"<$DisplayMode$>", ""},
        {"<$VellumitePostID$>", ""},
        {"<$VellumiteContactEmail$>", ""},
        {"<$VellumiteImage$>", ""},
    };
    // The site's texts are shown as text in the editor's own page, never as its markup.
    for (const auto& [tag, value] : tags)
        platform::replaceAll(page, tag, platform::htmlEscape(value));
    return page;
}

void subShowDesigner(AppState& app, std::int32_t key) {
    auto rs = app.db().openRecordset(
        "SELECT htmltext, cssText, templatename FROM VellumiteUserTemplate WHERE templateID=?",
        {key});
    if (rs.eof()) {
        app.host.msgBox("The template number " + std::to_string(key) + " no longer exists.",
                        "Vellumite");
        subShowTemplateSelect(app);
        return;
    }
    writeEditorPage(app.appFolder, "designedit.html",
                    designerPage(app, readText(rs["htmltext"]), readText(rs["cssText"])));
    auto designer = app.host.pane(pane::TemplateDesigner);
    auto page = designer.document();
    page.setFieldValue(std::string(kIdForm), kIdField, std::to_string(key));
    page.setText("savebutton", "SAVE " + readText(rs["templatename"]));
    page.frame(0).navigate(app.htmlFile("designedit.html"));
    designer.bringToFront();
}

void subDesignProperty(AppState& app, std::string_view command,
                       const std::vector<std::string>& values) {
    const bool font = command == "<$textfont";
    const std::size_t count = font ? 3 : 2;
    if (values.size() < count)
        throw std::invalid_argument("The designer command " + std::string(command) + " needs " +
                                    (font ? "a font, a size" : "a value") + " and an element.");
    const std::string value = trimmed(values[0]);
    const int rule = designRule(trimmed(values[count - 1]));
    platform::Document page = designerDocument(app);
    platform::Document design = page.frame(0);
    // Each value is one property's value: the page takes it or drops it, and it can never
    // add rules or properties of its own.
    auto set = [&](std::string_view property, const std::string& v) {
        design.setStyleRule(0, rule, property, v);
    };
    auto sample = [&](int n) { page.setStyleRule(kSampleSheet, n, "background-color", value); };
    if (command == "<$background") {
        set("background", value);
        set("background-color", value);
        sample(0);
    } else if (command == "<$font") {
        set("color", value);
        sample(1);
    } else if (command == "<$border") {
        set("border-color", value);
        set("border-style", "solid");
        set("border-width", "1px"); // a bare "1" is no length to a browser
        sample(2);
    } else if (font) {
        set("font-family", value);
        set("font-size", trimmed(values[1]));
    } else if (command == "<$align") {
        set("text-align", value);
    } else if (command == "<$visible") {
        set("visibility", value);
    } else {
        throw std::invalid_argument("The designer has no command " + std::string(command) + ".");
    }
}

void subMergeStyleSheet(AppState& app, std::int32_t key) {
    auto rs = app.db().openRecordset(
        "SELECT htmltext, cssText FROM VellumiteUserTemplate WHERE templateID=?", {key});
    if (rs.eof())
        return;
    const std::string html = readText(rs["htmltext"]);
    const std::string merged = withStyleSheet(html, readText(rs["cssText"]));
    if (merged != html)
        app.db().execute("UPDATE VellumiteUserTemplate SET htmltext=? WHERE templateID=?",
                         {merged, key});
}

AfterSave subSaveDesign(AppState& app, DesignSave how) {
    if (how == DesignSave::Over &&
        app.host.msgBox(kAlterForAllSites, "Save?", MsgButtons::YesNo) != MsgResult::Yes)
        return AfterSave::Nothing;
    platform::Document page = designerDocument(app);
    const std::int32_t designed = platform::clampToInt32(
        platform::leadingNumber(page.fieldValue(std::string(kIdForm), kIdField)));
    auto rs = app.db().openRecordset(
        "SELECT htmltext FROM VellumiteUserTemplate WHERE templateID=?", {designed});
    if (rs.eof()) {
        app.host.msgBox("The template being designed no longer exists.", "Vellumite");
        return AfterSave::Nothing;
    }
    // Read before any row is made, so that a page without its design stores nothing.
    const std::string css = page.frame(0).styleSheetText(0);
    std::int32_t saved = designed;
    if (how == DesignSave::AsNew) {
        auto name = askTemplateName(app, kRenamePrompt);
        if (!name || name->find_first_not_of(" \t") == std::string::npos)
            return AfterSave::Nothing;
        saved = addUserTemplate(app, *name, readText(rs["htmltext"]), true);
        setSiteTemplate(app, saved);
    }
    app.db().execute("UPDATE VellumiteUserTemplate SET cssText=? WHERE templateID=?", {css, saved});
    // Merged whether or not the open site uses it: any site that uses it later is generated
    // with the design as saved.
    subMergeStyleSheet(app, saved);
    const std::int32_t siteTemplate =
        readInt(openSiteRow(app.db(), app.logId, "UseDesignerTemplate")["UseDesignerTemplate"]);
    return siteTemplate == saved ? AfterSave::Editor : AfterSave::Select;
}

void subCloseDesigner(AppState& app) {
    subShowTemplateSelect(app, false);
    sendPaneToBack(app, pane::TemplateDesigner);
}

} // namespace vellumite
