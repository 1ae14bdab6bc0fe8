// The editor's archive menu: the posts that no longer fit on the item pages, as a list page.
#pragma once

#include "platform/database.h"

#include <cstdint>
#include <filesystem>

namespace vellumite {

// Writes html/archivemenu.html from html/template-archivemenu.html: one copy of the text
// between <ArchiveDates> and </ArchiveDates> for every published post after the newest T.
// Throws GeneratorError when the template is missing or lacks the markers.
void buildArchiveMenu(platform::Database& db, std::int32_t logId,
                      const std::filesystem::path& appFolder);

} // namespace vellumite
