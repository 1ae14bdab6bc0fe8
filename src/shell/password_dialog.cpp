// The password dialog's controls and its two buttons.
#include "shell/password_dialog.h"

#include "core/panes.h"
#include "platform/text.h"
#include "shell/mod_encrypt.h"

#include <algorithm>

namespace vellumite {

namespace {

using platform::ControlKind;

platform::Form& passwordForm(AppState& app) {
    platform::Form& form = app.host.form(std::string(kPasswordForm));
    if (form.has("txtNewPass"))
        return form;
    form.setCaption("Site password");
    form.add("lblPasswordTitle", ControlKind::Label,
             {{"text", "Readers never see this password: it guards the site in this editor."}});
    form.add("lblNew", ControlKind::Label, {{"text", "New password"}});
    form.add("txtNewPass", ControlKind::Password);
    form.add("lblConfirm", ControlKind::Label, {{"text", "Type it again"}});
    form.add("txtNewPassConfirm", ControlKind::Password);
    form.add("cmdSetPassword", ControlKind::Button,
             {{"text", "Set password"}, {"row", 1}, {"primary", true}});
    form.add("cmdCancel", ControlKind::Button, {{"text", "Cancel"}, {"row", 1}});
    // A handler may run inside a nested pump; the dialog is looked up again, never kept.
    form.on("cmdSetPassword", "click", [&app] { cmdSetPassword_Click(app); });
    form.on("cmdCancel", "click", [&app] { cmdCancel_Click(app); });
    form.on("", "close", [&app] { cmdCancel_Click(app); }); // the window's close button
    return form;
}

} // namespace

void subShowPasswordDialog(AppState& app) {
    passwordForm(app).show(false);
}

void cmdSetPassword_Click(AppState& app) {
    platform::Form& form = passwordForm(app);
    const std::string password = platform::asciiLower(form.text("txtNewPass"));
    const std::string confirm = platform::asciiLower(form.text("txtNewPassConfirm"));
    if (password != confirm) {
        app.host.msgBox(kPasswordMismatch, "Vellumite");
        return;
    }
    if (password.size() > kMaxScrambleLength) {
        app.host.msgBox(kPasswordTooLong, "Vellumite");
        return;
    }
    try {
        auto rs = app.db().openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {app.logId});
        if (rs.eof()) {
            app.host.msgBox("The open site no longer exists, password not set.", "Vellumite");
            return;
        }
        rs.edit();
        rs.setField("password",
                    password.empty() ? std::string() : Scramble(kPasswordKey, password, 1));
        rs.update();
        app.host.pane(pane::Setup)
            .document()
            .setText("passwordtext", password.empty() ? kProtectMySite : kChangeMyPassword);
    } catch (const platform::DbError& e) {
        app.host.msgBox(e.description(), "Vellumite");
        return;
    } catch (const std::exception& e) {
        // The row is stored; only the settings page's link could not be relabelled.
        app.host.msgBox(e.what(), "Vellumite");
    }
    app.host.unloadForm(std::string(kPasswordForm));
}

void cmdCancel_Click(AppState& app) {
    if (platform::Form* form = app.host.findForm(std::string(kPasswordForm)))
        form->hide();
    app.host.unloadForm(std::string(kPasswordForm));
}

} // namespace vellumite
