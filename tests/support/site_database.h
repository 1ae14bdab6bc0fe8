// Site and toolbar databases made from the shipped scripts, for tests on real SQLite files.
#pragma once

#include "platform/database.h"

#include <filesystem>

namespace testing_support {

// The shipped share/ folder of the source tree.
std::filesystem::path sourceShare();

// A new site database at `file` with the shipped schema; with `sample`, also the sample site.
platform::Database makeSiteDatabase(const std::filesystem::path& file, bool sample = false);
// A new toolbar (capture) database at `file`.
platform::Database makeToolbarDatabase(const std::filesystem::path& file);

} // namespace testing_support
