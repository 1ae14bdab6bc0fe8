// Site list, create, open with the password prompt, and delete of the open site.
#include "shell/sites.h"

#include "core/fill_engine.h"
#include "core/page_text.h"
#include "core/panes.h"
#include "platform/text.h"
#include "shell/mod_encrypt.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "store/trusted_certificates.h"

namespace vellumite {

namespace {

using platform::MsgButtons;
using platform::MsgResult;

constexpr std::string_view kListOpen = "<logList>";
constexpr std::string_view kListClose = "</logList>";

// The names users type may carry blanks around them; only blanks make a name empty.
bool isBlank(std::string_view name) {
    return name.find_first_not_of(" \t") == std::string_view::npos;
}

// One entry of the site list. The id goes in first so that a title that happens to contain
// "$logId$" stays as typed; the title is shown as text, never as markup of the page.
std::string listEntry(std::string entry, std::int32_t logId, std::string_view title) {
    platform::replaceAll(entry, "$logId$", std::to_string(logId));
    platform::replaceAll(entry, "$logName$", listText(title));
    return entry;
}

} // namespace

void subBuildLogList(AppState& app) {
    std::string page = readEditorTemplate(app.appFolder, "template-openlog.html");
    const std::size_t open = page.find(kListOpen);
    const std::size_t close =
        open == std::string::npos ? std::string::npos : page.find(kListClose, open);
    if (close == std::string::npos)
        throw TemplateError("The page template template-openlog.html has no <logList> block.");
    const std::size_t end = close + kListClose.size();
    const std::string block = page.substr(open, end - open);

    std::string entries;
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog ORDER BY LogID");
    for (; !rs.eof(); rs.moveNext())
        entries += listEntry(block, readInt(rs["LogID"]), readText(rs["LogTitle"]));
    page.replace(open, end - open, entries);
    writeEditorPage(app.appFolder, "logList.html", page);
}

bool subCreateLog(AppState& app, const std::string& name) {
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog");
    // Compared as typed: the same name in other letters is another site.
    for (; !rs.eof(); rs.moveNext()) {
        if (readText(rs["LogTitle"]) == name) {
            app.host.msgBox(kNameInUse, "Vellumite");
            return false;
        }
    }
    if (isBlank(name)) {
        app.host.msgBox(kNoNameEntered, "Vellumite");
        return false;
    }
    rs.addNew();
    rs.setField("LogTitle", name);
    rs.setField("displayTitle", name);
    rs.setField("webBarTitle", name);
    // A new site's first post goes on page 1 with an empty page count; left empty, the post
    // editor would file it under page 0, where drafts live.
    rs.setField("PublishedPages", 1);
    rs.setField("numberthispage", 0);
    rs.setField("Publishandupload", "");
    // No template yet: left empty it would read as template 3, another site's.
    rs.setField("UseDesignerTemplate", 0);
    const std::int32_t logId = readInt(rs["LogID"]);
    rs.update();
    app.logId = logId;
    app.displayTitle = name;
    app.currentSet = 1;
    app.postListPage = 1;
    app.host.setCaption("Vellumite - " + name);
    return true;
}

bool subOpenLog(AppState& app, std::int32_t logId) {
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {logId});
    if (rs.eof()) {
        app.host.msgBox("There is no site numbered " + std::to_string(logId) + ".", "Vellumite");
        return false;
    }
    const std::string stored = readText(rs["password"]);
    if (!stored.empty()) {
        const std::string password =
            Scramble(kPasswordKey, stored, 2,
                     [&](const std::string& message) { app.host.msgBox(message, "Vellumite"); });
        auto typed = app.host.passwordBox(kEnterPassword, "Vellumite");
        if (!typed)
            return false; // cancelled: the site stays closed, nothing to report
        if (*typed != password) {
            app.host.msgBox(kPasswordIncorrect, "Vellumite");
            return false;
        }
    }
    app.logId = readInt(rs["LogID"]);
    app.displayTitle = readText(rs["displayTitle"]);
    // The post list of the site opened before says nothing about this one.
    app.currentSet = 1;
    app.postListPage = 1;
    app.host.setCaption("Vellumite - " + readText(rs["LogTitle"]));
    return true;
}

void subDeleteLog(AppState& app) {
    if (app.host.msgBox(kDeleteSiteQuestion, kDeleteSiteTitle, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    deleteSiteRows(app.db(), app.logId);
    // What the user trusted for the site goes with it.
    TrustedCertificates(app.appFolder).forgetSite(app.logId);
    closeSite(app);
}

} // namespace vellumite
