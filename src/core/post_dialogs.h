// What the post editor reads from and writes into the insert-image and insert-link dialogs.
// The dialogs are made on first use by the screens that own them; before that there is nothing to
// read or clear.
#pragma once

#include "core/app_state.h"

#include <string>
#include <string_view>

namespace vellumite {

// The image dialog's file, width and height fields and its pop-up check box value ("1" or "0")
// joined by ",", as a post's `imagestats`; empty while the dialog has not been made.
std::string imageDialogStats(AppState& app);

// Puts the four values of a post's `imagestats` into the image dialog; with the pop-up box
// ticked the window size labels and fields are disabled, else enabled.
void loadImageDialogStats(AppState& app, std::string_view imageStats);

// The values the image dialog starts from whenever the editor leaves the post: no file, a
// 200 by 200 window, no pop-up. A dialog not made yet starts from them anyway.
void resetImageDialog(AppState& app);

// Empties the image dialog's file, width and height fields and unticks its pop-up box.
void clearImageDialog(AppState& app);

// Sets the link dialog's address list to the single entry "http://".
void resetLinkDialog(AppState& app);

// Adds `address` to the link dialog's address list (once) and makes it the dialog's text, for
// an item quoted into the post. Before the dialog is made, the address waits in the state.
void offerLinkAddress(AppState& app, const std::string& address);

// Lists the addresses offered before the link dialog was made; called when it is made.
void offerWaitingLinkAddresses(AppState& app);

} // namespace vellumite
