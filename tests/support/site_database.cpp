// Builds test databases from share/db/*.sql.
#include "support/site_database.h"

#include "platform/files.h"

namespace testing_support {

std::filesystem::path sourceShare() {
    return VELLUMITE_SOURCE_SHARE;
}

platform::Database makeSiteDatabase(const std::filesystem::path& file, bool sample) {
    std::string script = platform::files::readFile(sourceShare() / "db/vellumite.sql");
    if (sample)
        script += platform::files::readFile(sourceShare() / "db/vellumite-sample.sql");
    platform::Database::create(file.string(), script).close();
    return platform::Database::open(file.string());
}

platform::Database makeToolbarDatabase(const std::filesystem::path& file) {
    platform::Database::create(file.string(),
                               platform::files::readFile(sourceShare() / "db/vellumitetoolbar.sql"))
        .close();
    return platform::Database::open(file.string());
}

} // namespace testing_support
