// Opening the site database at start-up and creating the shipped databases on first start.
#include "store/databases.h"

#include "platform/files.h"
#include "store/app_folder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

// True when nothing is at `target`, so a database may be made there. A readable file (through
// a link or not) is the user's database and is used. Anything else is left as it is and stops
// the program: a link to a file that does not exist, a folder, a file that cannot be read.
bool databaseMissing(const fs::path& target) {
    const std::string where = target.filename().string() + " in " + target.parent_path().string();
    struct stat own {};
    if (::lstat(target.c_str(), &own) != 0) {
        if (errno == ENOENT)
            return true;
        throw AppFolderError("cannot look at " + where + ": " + std::strerror(errno));
    }
    int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        std::error_code ec;
        if (S_ISLNK(own.st_mode) && error == ENOENT)
            throw AppFolderError(where + " is a link to " + fs::read_symlink(target, ec).string() +
                                 ", which does not exist; it is left as it is (mend the link "
                                 "or remove it)");
        throw AppFolderError("cannot read " + where + ": " + std::strerror(error) +
                             "; it is left as it is");
    }
    struct stat info {};
    const bool isFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!isFile)
        throw AppFolderError(where + " is not a database file; it is left as it is");
    return false;
}

// An empty file only the owner may read: SQLite keeps its mode, and gives it to the journal.
void createPrivateFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    static_cast<mode_t>(platform::files::kPrivateFile));
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
    ::close(fd);
}

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
    createPrivateFile(temp);
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
        if (!databaseMissing(target))
            continue;
        createDatabase(target, scriptsFolder, fs::path(file).stem().string());
    }
}

} // namespace vellumite
