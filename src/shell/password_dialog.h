// frmPassword: the dialog that sets, changes or removes the open site's password.
#pragma once

#include "core/app_state.h"

#include <string_view>

namespace vellumite {

inline constexpr std::string_view kPasswordForm = "frmPassword";
inline constexpr std::string_view kPasswordMismatch =
    "Your password did not match, password not set.";
inline constexpr std::string_view kPasswordTooLong =
    "Your password is longer than 255 characters, password not set.";
// The settings page's password link reads one of these.
inline constexpr std::string_view kProtectMySite = "Password protect my site";
inline constexpr std::string_view kChangeMyPassword = "Change my password";

// <$Setpassword$>: shows frmPassword where it stands, as a normal (not top-most) window.
void subShowPasswordDialog(AppState& app);

// cmdSetPassword: both boxes lower-cased must agree; an empty password removes the protection.
// Stores the scrambled password in the open site's row, relabels the settings page's password
// link and closes the dialog. A mismatch leaves the dialog open.
void cmdSetPassword_Click(AppState& app);

// cmdCancel: closes the dialog; nothing is stored.
void cmdCancel_Click(AppState& app);

} // namespace vellumite
