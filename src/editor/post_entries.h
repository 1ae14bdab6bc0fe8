// Posts in the editor's lists: the order they are listed in and the entry each one gets.
#pragma once

#include "platform/database.h"
#include "shell/app_state.h"

#include <string>
#include <string_view>

namespace vellumite {

// The columns a post list reads, for queries that fetch no more than an entry needs.
inline constexpr std::string_view kPostEntryColumns =
    "postID, posttitle, postbyline, postdate, posttime, Category, boolDisplayInViewRecent";

// A copy of `block` with the post's tags replaced, in the order the lists have always used:
// link text, post key, byline, date stamp, category link, title, highlight link. Stored text
// is shown as text (see page_text.h).
std::string postListEntry(std::string_view block, const platform::Recordset& post);

// "ASC" when the open site publishes oldest first (PublishBackwards), else "DESC".
std::string publishOrder(AppState& app);

// " ORDER BY postdate D, posttime D, postID D": posts stamped in the same second keep the
// order they were made in.
std::string postOrderBy(std::string_view direction);

} // namespace vellumite
