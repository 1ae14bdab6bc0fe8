// Locating and filling the app folder.
#include "store/app_folder.h"

#include "platform/database.h"
#include "platform/files.h"
#include "store/databases.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumite {

namespace fs = std::filesystem;

fs::path defaultAppFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "vellumite";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local/share/vellumite";
    throw AppFolderError("cannot find the app folder: neither XDG_DATA_HOME nor HOME is set "
                         "(use --data-dir)");
}

fs::path shippedResources() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = exe.parent_path().parent_path() / "share/vellumite";
        if (fs::exists(installed / "db", ec))
            return installed;
    }
    if (fs::exists(fs::path(VELLUMITE_INSTALLED_SHARE) / "db", ec))
        return VELLUMITE_INSTALLED_SHARE;
    return VELLUMITE_SOURCE_SHARE;
}

namespace {

void requireWritable(const fs::path& folder) {
    fs::path probe = folder / ".vellumite-write-test";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw AppFolderError("cannot write the app folder " + folder.string() + ": " +
                             std::strerror(errno));
    ::close(fd);
    ::unlink(probe.c_str());
}

} // namespace

std::optional<std::string> openFolderWarning(const fs::path& appFolder) {
    struct stat info {};
    if (::stat(appFolder.c_str(), &info) != 0 || (info.st_mode & 077) == 0)
        return std::nullopt;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return "warning: other users of this computer can look into the app folder " +
           appFolder.string() + " (mode " + mode + "); `chmod 700 " + appFolder.string() +
           "` keeps it private";
}

void prepareAppFolder(const fs::path& appFolder, const fs::path& resources) {
    std::error_code ec;
    try {
        platform::files::createFolders(appFolder);
    } catch (const std::system_error& e) {
        throw AppFolderError("cannot create the app folder " + appFolder.string() + ": " +
                             e.code().message());
    }
    if (!fs::is_directory(appFolder, ec))
        throw AppFolderError("cannot use " + appFolder.string() +
                             " as the app folder: "
                             "not a folder");
    requireWritable(appFolder);
    if (!fs::is_directory(resources / "db", ec))
        throw AppFolderError("cannot find the shipped resources in " + resources.string());

    try {
        for (const auto& entry : fs::directory_iterator(resources)) {
            if (!entry.is_directory() || entry.path().filename() == "db")
                continue;
            platform::files::copyMissing(entry.path(), appFolder / entry.path().filename());
        }
        platform::files::createFolders(appFolder / "html/output");
        createMissingDatabases(appFolder, resources / "db");
    } catch (const std::system_error& e) {
        throw AppFolderError(e.what());
    } catch (const platform::DbError& e) {
        throw AppFolderError("cannot create the databases in " + appFolder.string() + ": " +
                             e.description());
    }
}

} // namespace vellumite
