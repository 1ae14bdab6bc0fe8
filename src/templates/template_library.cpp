// The library folder, the template select screen and the library commands.
#include "templates/template_library.h"

#include "core/fill_engine.h"
#include "core/panes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "store/readers.h"

#include <algorithm>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLongestName = 200; // leaves room for ".html" in a file name
constexpr std::string_view kHtmlSuffix = ".html";

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '~' || c == '.';
}

bool endsWithHtml(std::string_view file) {
    return file.size() > kHtmlSuffix.size() &&
           platform::equalsNoCase(file.substr(file.size() - kHtmlSuffix.size()), kHtmlSuffix);
}

std::string userTemplateEntry(std::int32_t key, std::string_view name, bool design) {
    const std::string id = std::to_string(key);
    return std::string("<li><font color=\"") + (design ? "purple" : "green") + "\">" +
           platform::htmlEscape(name) + "</font> - <a href=\"<$usertemplate-" + id +
           "$>\">Use this template</a> <a href=\"<$edittemplate-" + id +
           "$>\">[Edit]</a> <a class=\"delete\" href=\"<$deleteusertemplate-" + id +
           "$>\">[Delete]</a></li>\n";
}

std::string userTemplateList(AppState& app) {
    std::string list;
    auto rs = app.db().openRecordset(
        "SELECT templateID, templatename, bIsDesigner FROM VellumiteUserTemplate "
        "ORDER BY templateID");
    for (; !rs.eof(); rs.moveNext()) {
        const std::string name = readText(rs["templatename"]);
        if (!name.empty())
            list += userTemplateEntry(readInt(rs["templateID"]), name, rs["bIsDesigner"].toBool());
    }
    return list;
}

} // namespace

bool isSafeTemplateName(std::string_view name) {
    return !name.empty() && name.size() <= kLongestName &&
           std::all_of(name.begin(), name.end(), isNameCharacter) &&
           name.find("..") == std::string_view::npos;
}

std::vector<std::string> libraryNames(const fs::path& appFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(appFolder / "templates", ec)) {
        const std::string file = entry.path().filename().string();
        if (!endsWithHtml(file) || !entry.is_regular_file(ec))
            continue;
        std::string name = file.substr(0, file.size() - kHtmlSuffix.size());
        if (isSafeTemplateName(name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::string libraryCaption(std::string_view name) {
    if (name.substr(0, kDesignPrefix.size()) == kDesignPrefix)
        return std::string(name.substr(kDesignPrefix.size()));
    return std::string(name);
}

std::string libraryRow(std::string_view name) {
    const std::string n = platform::htmlEscape(name);
    const std::string caption = platform::htmlEscape(libraryCaption(name));
    std::string row = "<tr valign=\"top\"><td width=\"33%\" class=\"libtemplate\"><a "
                      "class=\"thumb\" href=\"<$showprev-" +
                      n + "$>\" title=\"Preview " + caption + "\"><img src=\"../templates/" + n +
                      ".gif\" width=\"70\" height=\"70\" border=\"1\" alt=\"\"></a>" +
                      "<span class=\"caption\">" + caption +
                      "</span><br> <a href=\"<$makeInstance-" + n + "$>\">[HTML]</a>";
    if (name.substr(0, kDesignPrefix.size()) == kDesignPrefix)
        row += " <a href=\"<$makeDesign-" + n + "$>\">[Graphic]</a>";
    return row + "</td></tr>\n";
}

std::string readLibraryTemplate(const fs::path& appFolder, std::string_view name) {
    if (!isSafeTemplateName(name))
        throw TemplateError("The template name \"" + std::string(name) + "\" cannot be used.");
    auto file =
        platform::files::resolveNoCase(appFolder, "templates/" + std::string(name) + ".html");
    if (!file || !fs::is_regular_file(*file))
        throw TemplateError("The template " + std::string(name) + " is not in the library.");
    try {
        return platform::files::readFile(*file);
    } catch (const std::system_error& e) {
        throw TemplateError(e.what());
    }
}

void subShowTemplateSelect(AppState& app, bool toFront) {
    std::string rows;
    for (const auto& name : libraryNames(app.appFolder))
        rows += libraryRow(name);
    std::string list = readEditorTemplate(app.appFolder, "template-select-template.html");
    // The rows hold no tags, so the user templates' tag is still found after them.
    platform::replaceAll(list, "<$templates$>", rows);
    platform::replaceAll(list, "<$designs$>", userTemplateList(app));
    writeEditorPage(app.appFolder, "select-template.html", list);

    std::string frame = readEditorTemplate(app.appFolder, "template-select.html");
    platform::replaceAll(frame, "<$vellumitetitle$>", platform::htmlEscape(app.displayTitle));
    writeEditorPage(app.appFolder, "selectframe.html", frame);

    // The designer starts from its shipped state whenever it is next shown.
    app.host.pane(pane::TemplateDesigner).navigate(app.htmlFile("template-design.html"));
    auto select = app.host.pane(pane::TemplateSelect);
    select.navigate(app.htmlFile("selectframe.html"));
    if (toFront)
        select.bringToFront();
}

bool acceptTemplateName(AppState& app, std::string_view name) {
    if (isSafeTemplateName(name))
        return true;
    app.host.msgBox("The template name \"" + std::string(name) +
                        "\" cannot be used: a name holds only letters, digits, \"-\", \"_\", "
                        "\"~\" and \".\".",
                    "Vellumite");
    return false;
}

bool subUseLibraryTemplate(AppState& app, std::string_view name) {
    if (!acceptTemplateName(app, name))
        return false;
    const std::string html = readLibraryTemplate(app.appFolder, name);
    app.db().execute("UPDATE VellumiteLog SET TemplatedHTML=?, UseDesignerTemplate=0 WHERE LogID=?",
                     {html, app.logId});
    return true;
}

void subPreviewLibraryTemplate(AppState& app, std::string_view name) {
    if (!acceptTemplateName(app, name))
        return;
    readLibraryTemplate(app.appFolder, name); // a missing template is said, not shown as 404
    app.host.pane(pane::TemplateSelect)
        .document()
        .frame(kSamplesFrameIndex)
        .navigate(app.appFile("templates/" + std::string(name) + ".html"));
}

void subBigView(AppState& app, std::string_view name) {
    if (!acceptTemplateName(app, name))
        return;
    whenOnline(app, [&] {
        openDisplayWindow(app, app.serviceAddress("/templates/" + std::string(name) + "prev.html"));
    });
}

void setSiteTemplate(AppState& app, std::int32_t templateId) {
    app.db().execute("UPDATE VellumiteLog SET UseDesignerTemplate=? WHERE LogID=?",
                     {templateId, app.logId});
}

} // namespace vellumite
