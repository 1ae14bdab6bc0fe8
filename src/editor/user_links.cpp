// Adding, editing and deleting the site's links.
#include "editor/user_links.h"

#include "core/panes.h"
#include "editor/sections.h"
#include "platform/numbers.h"
#include "store/readers.h"

namespace vellumite {

namespace {

constexpr std::string_view kLinkForm = "newlinkform";
constexpr std::string_view kLinkBox = "linkaddbox";

platform::Document editorDocument(AppState& app) {
    return app.host.pane(pane::Content).document();
}

} // namespace

void subEditUserLink(AppState& app, std::int32_t linkId) {
    auto link = app.db().openRecordset(
        "SELECT linktext, linkurl, newwindow FROM VellumiteLinks WHERE LogID=? AND linkID=?",
        {app.logId, linkId});
    if (link.eof()) {
        app.host.msgBox("The link " + std::to_string(linkId) + " no longer exists.", "Vellumite");
        subShowUserLinks(app);
        return;
    }
    platform::Document doc = editorDocument(app);
    const std::string form(kLinkForm);
    doc.setFieldValue(form, "linktext", readText(link["linktext"]));
    doc.setFieldValue(form, "urltext", readText(link["linkurl"]));
    doc.setFieldValue(form, "EditingItem", std::to_string(linkId));
    doc.setFieldChecked(form, "newwin", link["newwindow"].toBool());
    doc.setClassName(kLinkBox, "newlinkpopupshow");
    subShowUserLinks(app);
}

void subSaveUserLink(AppState& app) {
    platform::Document doc = editorDocument(app);
    const std::string form(kLinkForm);
    const std::int32_t editing =
        platform::clampToInt32(platform::leadingNumber(doc.fieldValue(form, "EditingItem")));
    const std::string text = doc.fieldValue(form, "linktext");
    const std::string address = doc.fieldValue(form, "urltext");
    const bool newWindow = doc.fieldChecked(form, "newwin");

    platform::Database& db = app.db();
    const bool stored =
        editing >= 0 && db.execute("UPDATE VellumiteLinks SET linktext=?, linkurl=?, newwindow=? "
                                   "WHERE LogID=? AND linkID=?",
                                   {text, address, newWindow, app.logId, editing}) > 0;
    if (!stored)
        db.execute("INSERT INTO VellumiteLinks (LogID, linktext, linkurl, newwindow) "
                   "VALUES (?, ?, ?, ?)",
                   {app.logId, text, address, newWindow});
    // The form is emptied once what it held is stored, so a failure loses nothing.
    doc.resetForm(form);
    doc.setClassName(kLinkBox, "newlinkpopuphide");
    subShowUserLinks(app);
}

void subDeleteUserLink(AppState& app, std::int32_t linkId) {
    if (app.host.msgBox("Are you sure you wish to delete this link?", "Delete link?",
                        platform::MsgButtons::YesNo) != platform::MsgResult::Yes)
        return;
    app.db().execute("DELETE FROM VellumiteLinks WHERE LogID=? AND linkID=?", {app.logId, linkId});
    subShowUserLinks(app);
}

} // namespace vellumite
