// Filling the settings page from the site row, and storing its forms back into the row.
#include "shell/settings_screen.h"

#include "core/fill_engine.h"
#include "core/panes.h"
#include "platform/numbers.h"
#include "platform/text.h"
#include "store/databases.h"
#include "store/ftp_location.h"
#include "store/readers.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace vellumite {

namespace {

using platform::FormElement;
using platform::Recordset;

struct TextTag {
    std::string_view tag;
    std::string_view field;
};

// The settings shown as text, each tag filled from its field (every occurrence).
// The FTP server is shown apart: its field holds the server without the scheme that says
// whether it is reached over TLS.
constexpr std::array<TextTag, 17> kTextTags = {{
    {"<$VellumitePageTitle$>", "LogTitle"},
    {"<$VellumiteUserName$>", "ftpusername"},
    {"<$VellumiteUserPassword$>", "ftppassword"},
    {"<$VellumiteFTPPath$>", "ftppath"},
    {"<$VellumiteSiteURL$>", "pageurl"},
    {"<$VellumiteContactEmail$>", "contactemail"},
    {"<$VellumiteTotalPosts$>", "TotalPublishPosts"},
    {"<$VellumitePostPerPage$>", "postperpage"},
    {"<$Copyright$>", "CopyrightNotice"},
    {"<$VellumiteLinks$>", "LinkTitle"},
    {"<$VellumiteHighlights$>", "highlightTitle"},
    {"<$VellumiteCategories$>", "categorytitle"},
    {"<$VellumiteBarTitle$>", "webBarTitle"},
    {"<$VellumiteDisplayTitle$>", "displayTitle"},
    {"<$VellumiteContactMe$>", "contactmetext"},
    {"<$VellumiteKeywords$>", "logsearchterms"},
    {"<$VellumiteUpdateDays$>", "recentpostnum"},
}};

constexpr std::array<TextTag, 4> kCheckTags = {{
    {"<$publishorder$>", "PublishBackwards"},
    {"<$VellumiteTimeStamps$>", "showDate"},
    {"<$VellumitePassiveOn$>", "ftppassive"},
    {"<$adversitesetting$>", "advertiseHighlights"},
}};

Recordset openSiteRow(AppState& app) {
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {app.logId});
    if (rs.eof())
        throw std::runtime_error("The open site no longer exists.");
    return rs;
}

// A form's fields by name, read from the page in one request.
class FormFields {
public:
    FormFields(platform::Document doc, std::string_view form)
        : m_form(form), m_elements(doc.formElements(std::string(form))) {}

    const FormElement& operator[](std::string_view name) const {
        for (const auto& e : m_elements)
            if (e.name == name)
                return e;
        throw platform::DomError("The form " + m_form + " has no field " + std::string(name) + ".");
    }
    const std::string& value(std::string_view name) const { return (*this)[name].value; }
    bool checked(std::string_view name) const { return (*this)[name].checked; }

private:
    std::string m_form;
    std::vector<FormElement> m_elements;
};

bool beginsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view withoutLeadingBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view withoutBlanksAround(std::string_view text) {
    text = withoutLeadingBlanks(text);
    return text.substr(0, text.find_last_not_of(" \t") + 1);
}

bool hasWebScheme(std::string_view address) {
    return beginsWithNoCase(address, "http://") || beginsWithNoCase(address, "https://");
}

std::string passwordLink(bool protectedSite) {
    return std::string("<a href='<$Setpassword$>' name='passwordtext'>") +
           (protectedSite ? "Change my password" : "Password protect my site") + "</a>";
}

std::string directoryEntry(std::int32_t serverId) {
    if (serverId > 0)
        return "<a href=\"<$siteSetup$>\">Edit directory entry on " + std::string(kDirectoryName) +
               "</a>";
    return "You must publish before you can setup your site details on " +
           std::string(kDirectoryName);
}

} // namespace

std::string ftpFolderWithSlash(std::string_view typed) {
    std::string folder(typed);
    if (folder.empty() || folder.front() != '/')
        folder.insert(folder.begin(), '/');
    return folder;
}

std::string storedFtpFolder(std::string_view typed) {
    std::string folder = ftpFolderWithSlash(typed);
    if (folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string storedSiteAddress(std::string_view typed) {
    // An address typed with its scheme, secure or not and in any letter case, is kept as it is.
    if (hasWebScheme(withoutLeadingBlanks(typed)))
        return std::string(typed);
    return "http://" + std::string(typed);
}

std::string storedKeywords(std::string_view typed) {
    std::string keywords(typed);
    std::replace(keywords.begin(), keywords.end(), '\'', ' ');
    return keywords;
}

bool settingsComplete(AppState& app) {
    auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {app.logId});
    return !rs.eof() && !readText(rs["ftplocation"]).empty();
}

void subShowSetup(AppState& app) {
    std::string page = readEditorTemplate(app.appFolder, "template-setup.html");
    // Every value is put into the page as text: stored settings never become its markup, and
    // a value that looks like a tag is not filled in by a later step.
    platform::replaceAll(page, "<$vellumitetitle$>", platform::htmlEscape(app.displayTitle));
    // A database that could not be opened at start-up gets another chance here.
    if (!app.database || !app.database->isOpen())
        app.database = openSiteDatabase(app.appFolder, [&](const std::string& report) {
            app.host.msgBox(report, "Vellumite");
        });
    auto rs = openSiteRow(app);
    for (const auto& t : kTextTags)
        platform::replaceAll(page, t.tag, platform::htmlEscape(readText(rs[t.field])));
    for (const auto& t : kCheckTags)
        platform::replaceAll(page, t.tag, rs[t.field].toBool() ? "checked" : "");
    const FtpLocation ftp = readFtpLocation(readText(rs["ftplocation"]));
    // No closing "$": the tag has always read so.
    platform::replaceAll(page, "<$VellumiteFTPAddress>", platform::htmlEscape(ftp.server));
    platform::replaceAll(page, "<$VellumiteFtpTlsSelected$>", ftp.tls ? "selected" : "");
    platform::replaceAll(page, "<$VellumiteFtpPlainSelected$>", ftp.tls ? "" : "selected");
    platform::replaceAll(page, "<$VellumitePasswordSetting$>",
                         passwordLink(!readText(rs["password"]).empty()));
    // A site the service has not registered holds Null here, which the integer reader would
    // turn into 3 and so offer a directory entry that does not exist.
    const platform::Value serverId = rs["LogServerID"];
    platform::replaceAll(page, "<$VellumiteSiteSetup$>",
                         directoryEntry(readText(serverId).empty() ? 0 : readInt(serverId)));
    writeEditorPage(app.appFolder, "setup.html", page);
    showPane(app, pane::Setup, app.htmlFile("setup.html"));
}

void showSetupCategoryFrame(AppState& app) {
    app.host.pane(pane::Setup).document().frame(0).navigate(app.htmlFile("categorycreate.html"));
}

void subSaveSettings(AppState& app) {
    platform::Document doc = app.host.pane(pane::Setup).document();
    const FormFields form(doc, kSetupForm);
    const std::string& folder = form.value("Vellumiteftppath");
    if (ftpFolderWithSlash(folder) != folder)
        doc.setFieldValue(std::string(kSetupForm), "Vellumiteftppath", ftpFolderWithSlash(folder));

    auto rs = openSiteRow(app);
    rs.edit();
    rs.setField("ftpusername", form.value("VellumiteUsername"));
    rs.setField("ftppassword", form.value("VellumiteftpPassword"));
    rs.setField("ftplocation", storedFtpLocation(form.value("VellumiteftpAddress"),
                                                 form.value("VellumiteFtpSecurity") != "plain"));
    rs.setField("ftppath", storedFtpFolder(folder));
    rs.setField("pageurl", storedSiteAddress(form.value("VellumiteSiteURL")));
    rs.setField("contactemail", form.value("VellumiteContact"));
    rs.setField("TotalPublishPosts", readInt(platform::Value(form.value("totalposts"))));
    rs.setField("postperpage", readInt(platform::Value(form.value("postperpage"))));
    rs.setField("CopyrightNotice", form.value("copyright"));
    rs.setField("PublishBackwards", form.checked("publishorder"));
    rs.setField("ftppassive", form.checked("VellumitePassiveMode"));
    rs.setField("advertiseHighlights", form.checked("advertisehighlights"));
    rs.update();
}

void subSaveTitles(AppState& app) {
    const FormFields form(app.host.pane(pane::Setup).document(), kTitlesForm);
    auto rs = openSiteRow(app);
    rs.edit();
    rs.setField("LinkTitle", form.value("VellumiteLinks"));
    rs.setField("highlightTitle", form.value("VellumiteHighlights"));
    rs.setField("categorytitle", form.value("VellumiteCategories"));
    rs.setField("webBarTitle", form.value("VellumiteBarTitle"));
    rs.setField("displayTitle", form.value("VellumiteLogTitle"));
    rs.setField("contactmetext", form.value("VellumiteContactMe"));
    rs.setField("logsearchterms", storedKeywords(form.value("Vellumitesearchterms")));
    rs.setField("showDate", form.checked("VellumiteTimeStamps"));
    rs.update();
    // The pages built from now on carry the new title.
    app.displayTitle = form.value("VellumiteLogTitle");
}

void subSaveRecentSettings(AppState& app) {
    auto fields = app.host.pane(pane::Content).document().frame(2).formElements(0);
    if (fields.empty())
        throw platform::DomError("The highlights page has no recent list form.");
    const std::string_view typed = withoutBlanksAround(fields.front().value);
    const bool digitsOnly = !typed.empty() && typed.size() <= 5 &&
                            typed.find_first_not_of("0123456789") == std::string_view::npos;
    const std::int32_t count =
        digitsOnly ? platform::clampToInt32(platform::leadingNumber(typed)) : -1;
    if (count < 0 || count > 32767) {
        app.host.msgBox(kRecentCountNotANumber, "Vellumite");
        return;
    }
    app.db().execute("UPDATE VellumiteLog SET recentpostnum=? WHERE LogID=?", {count, app.logId});
}

void subViewUserSite(AppState& app) {
    const std::string address = readText(openSiteRow(app)["pageurl"]);
    // Only a web address is opened: anything else in the row could run in the editor's window.
    const std::string_view shown = withoutLeadingBlanks(address);
    const std::size_t scheme = beginsWithNoCase(shown, "https://") ? 8 : 7;
    if (!hasWebScheme(shown) || withoutLeadingBlanks(shown.substr(scheme)).empty()) {
        app.host.msgBox(kUrlNotSet, "Vellumite");
        return;
    }
    openDisplayWindow(app, std::string(shown));
}

} // namespace vellumite
