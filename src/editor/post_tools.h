// The tools that change the body of the post being edited: wrapping the post box's selection
// in HTML, making it a link, and quoting an item at the end of the post's own text.
#pragma once

#include "core/app_state.h"
#include "core/post_insert.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kCursorNotInPost =
    "You don't have your cursor in the post editing box, please select where you want me to "
    "add your image tag";

// The wrapping tools, and what they put around the selection.
enum class WrapTool { Bold, Italic, Underline, BlockQuote };

// Wraps the post box's selection, which stays selected with its new tags. Nothing selected:
// the block quote does nothing, the others say kNoTextSelected.
void subWrapSelection(AppState& app, WrapTool tool);

// "<$setlink$>": the selection becomes a link to the address typed in the page's link field.
void subSetLink(AppState& app);

// "<$href$>": true when text is selected for the link dialog, else says kNoTextSelected.
bool postTextSelected(AppState& app);

// "<$image$>": keeps the post box's cursor or selection for the image dialog and returns its
// number; says kCursorNotInPost when the cursor is elsewhere.
std::optional<int> keepImagePlace(AppState& app);

// The marker that starts every pop-up link block at the end of a post.
inline constexpr std::string_view kPopupBlockStart =
    "<!-- ---------------- --><!-- Vellumite MLink -->";

// The body with `quote` added as a block quote at the end of the post's own text, before its
// pop-up link blocks (each then follows three CRs). An empty body counts as one space.
std::string quotedBody(std::string_view body, std::string_view quote);

// Quotes `quote` into the post box and offers `address` in the link dialog.
void subQuoteIntoPost(AppState& app, std::string_view quote, std::string_view address);

// "<$newsalertedit-N$>": news-alert item N quoted into the post: its title and body, each with
// "+" read as a space and followed by a CR.
void subQuoteNewsAlert(AppState& app, std::int32_t alertId);

} // namespace vellumite
