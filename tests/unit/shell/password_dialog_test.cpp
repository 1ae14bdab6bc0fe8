// The password dialog on a real database through FakeHost.
#include "shell/mod_encrypt.h"
#include "shell/password_dialog.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(PasswordDialog, StoresTheLowerCasedPasswordOrNoneAndRefusesLongOnes) {
    testing_support::AppFixture f;
    const std::int32_t site = f.app.logId = f.addSite("Guarded");
    platform::Form& form = f.host.form(std::string(kPasswordForm));
    auto submit = [&](const std::string& password, const std::string& confirm,
                      const std::string& button = "cmdSetPassword") {
        subShowPasswordDialog(f.app);
        form.setText("txtNewPass", password);
        form.setText("txtNewPassConfirm", confirm);
        form.deliver(button, button.empty() ? "close" : "click", {}, "");
        return f.host.findForm(std::string(kPasswordForm)) != nullptr; // still open
    };
    auto stored = [&] { return Scramble(kPasswordKey, f.siteField(site, "password").toText(), 2); };
    subShowPasswordDialog(f.app);
    int hidden = 0; // the boxes hide what is typed
    for (const auto& control : form.controls())
        hidden += control.name.starts_with("txtNewPass") &&
                  control.kind == platform::ControlKind::Password;
    EXPECT_EQ(hidden, 2);

    // Cancel and the window's close button store nothing.
    EXPECT_FALSE(submit("abc", "abc", "cmdCancel"));
    EXPECT_FALSE(submit("abc", "abc", ""));
    EXPECT_TRUE(submit(std::string(256, 'x'), std::string(256, 'x')));
    EXPECT_EQ(f.host.messages.back().text, kPasswordTooLong);
    EXPECT_EQ(f.siteField(site, "password"), platform::Value());
    // The longest that fits, compared and stored in lower case. A mismatch and both boxes
    // empty: see the browser test of sites.
    EXPECT_FALSE(submit(std::string(255, 'x'), std::string(255, 'X')));
    EXPECT_EQ(stored(), std::string(255, 'x'));
}

} // namespace
} // namespace vellumite
