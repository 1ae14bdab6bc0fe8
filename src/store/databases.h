// Where the two databases live, how they are opened, and how their failures are reported.
#pragma once

#include "platform/database.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vellumite {

inline constexpr const char* kSiteDatabaseFile = "vellumite.db";
inline constexpr const char* kToolbarDatabaseFile = "vellumitetoolbar.db";

// "error [" number ":" description "]", the report shown when a database cannot be opened.
std::string databaseErrorReport(const platform::DbError& error);

// Opens the site database of the app folder. On failure the report goes to `report` and the
// result is empty: start-up goes on without a database.
std::optional<platform::Database>
openSiteDatabase(const std::filesystem::path& appFolder,
                 const std::function<void(const std::string&)>& report);

// The toolbar database is not held open: each operation opens it, works and closes it, because
// the browser add-on's host writes to it too. Throws DbError when it cannot be opened.
template <class Work>
auto withToolbarDatabase(const std::filesystem::path& appFolder, Work&& work) {
    auto db = platform::Database::open((appFolder / kToolbarDatabaseFile).string());
    struct Closer {
        platform::Database& db;
        ~Closer() { db.close(); }
    } closer{db};
    return work(db);
}

// Creates the shipped databases that are missing in `appFolder` from the SQL scripts in
// `scriptsFolder` ("<name>.sql", then "<name>-sample.sql" when present). A database is made
// under a temporary name, mode 0600, and renamed when complete, so a failure never leaves half
// of one. A path that holds something unusable (a link to nowhere, a folder, a file that cannot
// be read) is never replaced: AppFolderError says what is there.
void createMissingDatabases(const std::filesystem::path& appFolder,
                            const std::filesystem::path& scriptsFolder);

} // namespace vellumite
