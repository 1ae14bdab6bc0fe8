// Opening the site database at start-up and creating the shipped databases on first start.
#include "store/databases.h"

#include "platform/files.h"

#include <system_error>

namespace vellumite {

namespace fs = std::filesystem;

std::string databaseErrorReport(const platform::DbError& error) {
    return "error [" + std::to_string(error.number()) + ":" + error.description() + "]";
}

std::optional<platform::Database>
openSiteDatabase(const fs::path& appFolder, const std::function<void(const std::string&)>& report) {
    try {
        return platform::Database::open((appFolder / kSiteDatabaseFile).string());
    } catch (const platform::DbError& e) {
        report(databaseErrorReport(e));
        return std::nullopt;
    }
}

namespace {

void createDatabase(const fs::path& target, const fs::path& scriptsFolder,
                    const std::string& stem) {
    std::string script = platform::files::readFile(scriptsFolder / (stem + ".sql"));
    fs::path sample = scriptsFolder / (stem + "-sample.sql");
    if (fs::exists(sample))
        script += "\n" + platform::files::readFile(sample);

    fs::path temp = target;
    temp += ".new";
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(temp.string() + suffix, ec);
    {
        auto db = platform::Database::create(temp.string(), script);
        db.close(); // checkpoints the journal into the file before it is renamed
    }
    fs::rename(temp, target, ec);
    if (ec)
        throw std::system_error(ec, "cannot write " + target.string());
}

} // namespace

void createMissingDatabases(const fs::path& appFolder, const fs::path& scriptsFolder) {
    for (const char* file : {kSiteDatabaseFile, kToolbarDatabaseFile}) {
        fs::path target = appFolder / file;
        if (fs::exists(target))
            continue;
        createDatabase(target, scriptsFolder, fs::path(file).stem().string());
    }
}

} // namespace vellumite
