// Pop-up links: a selection in the post made into a link that shows another post in a floating
// box, with the script that does it appended to the post in a marked block.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vellumite {

// Stored text made fit for a string between single quotes in the pop-up script: line breaks
// gone; backslashes, double quotes and apostrophes escaped with a backslash; and "</" and
// "<!--" written "<\/" and "<\!--", so that nothing in it can end the script early. The text the
// script shows is the same.
std::string popupScriptText(std::string_view stored);

// A target post's body as the pop-up shows it: earlier pop-up links reduced to their text and
// earlier pop-up blocks removed, so only the post's own text goes into the new script.
std::string popupBody(std::string_view posttext);

// The link that replaces the selected text.
std::string popupAnchor(std::int32_t postId, std::string_view selected);

// The block appended to the post: four CRs, then the marked script that fills and shows the box
// for post `postId` with `title` and `body` (both already made by popupScriptText/popupBody).
std::string popupBlock(std::int32_t postId, std::string_view title, std::string_view body);

// "<$anchorto-N$>": hides the posts chooser; when text is selected in the post box, makes it
// a pop-up link to post N (which stays selected) and appends its block.
void subAnchorTo(AppState& app, std::int32_t postId);

} // namespace vellumite
