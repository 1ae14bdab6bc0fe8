// Posts in the editor's lists: the order they are listed in and the entry each one gets.
#pragma once

#include "core/app_state.h"
#include "platform/database.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// The columns a post list reads, for queries that fetch no more than an entry needs.
inline constexpr std::string_view kPostEntryColumns =
    "postID, posttitle, postbyline, postdate, posttime, Category, boolDisplayInViewRecent";

// The per-record tags of the post lists, in the order they have always been replaced: link
// text, post key, byline, date stamp, category link, title, highlight link.
extern const std::vector<std::string_view> kPostEntryTags;

// The values of those tags for the post at the record set's current position, into `values`
// (reused from record to record). Stored text is shown as text (see page_text.h).
void postEntryValues(const platform::Recordset& post, std::vector<std::string>& values);

// "ASC" when the open site publishes oldest first (PublishBackwards), else "DESC".
std::string publishOrder(AppState& app);
std::string orderWord(bool publishBackwards);

// " ORDER BY postdate D, posttime D, postID D": posts stamped in the same second keep the
// order they were made in.
std::string postOrderBy(std::string_view direction);

} // namespace vellumite
