// The site generator as the publish run uses it.
#pragma once

#include "platform/database.h"
#include "publish/publish_run.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace vellumite {

// A generator run over the site, read when it is made (GeneratorError when the site cannot be
// generated). Item, category and archive pages keep their image paths; the main page's are
// rewritten, as the run has always made them.
std::unique_ptr<SitePages> makeSitePages(platform::Database& db, std::int32_t logId,
                                         const std::filesystem::path& appFolder);

} // namespace vellumite
