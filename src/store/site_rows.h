// Row-level operations on a whole site that more than one screen needs.
#pragma once

#include "platform/database.h"

#include <cstdint>

namespace vellumite {

// Removes the site's links, posts and site row, in that order. Its categories, image history
// and imported resources stay, as they always have.
void deleteSiteRows(platform::Database& db, std::int32_t logId);

} // namespace vellumite
