// Row-level operations on a whole site that more than one screen needs.
#pragma once

#include "platform/database.h"

#include <cstdint>
#include <string_view>

namespace vellumite {

// Removes the site's links, posts and site row, in that order. Its categories, image history
// and imported resources stay, as they always have.
void deleteSiteRows(platform::Database& db, std::int32_t logId);

// The site's row (`columns` of it; "*" gives an updatable record set). Throws DbError 3021
// "No current record." when there is no such site.
platform::Recordset openSiteRow(platform::Database& db, std::int32_t logId,
                                std::string_view columns = "*");

} // namespace vellumite
