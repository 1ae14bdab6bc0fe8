// The app folder: where it is, and filling it from the shipped resources on first start.
#pragma once

#include "platform/error.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vellumite {

class AppFolderError : public platform::MessageError {
public:
    explicit AppFolderError(std::string description)
        : MessageError(kNumber, std::move(description), "AppFolder") {}
    static constexpr int kNumber = 75; // path/file access error
};

// $XDG_DATA_HOME/vellumite, else ~/.local/share/vellumite.
std::filesystem::path defaultAppFolder();

// A one-line warning when the app folder lets other users of the computer in (its mode gives
// the group or others any right); nothing when it is private.
std::optional<std::string> openFolderWarning(const std::filesystem::path& appFolder);

// The installed resources (<prefix>/share/vellumite beside the program), else the source
// tree's share/ folder that the build was made from.
std::filesystem::path shippedResources();

// Creates the folder when needed and copies in what is missing: page templates, the template
// library, and the two databases made from their scripts. The user's files are never
// overwritten. Throws AppFolderError with a one-line reason when the folder cannot be made or
// written, or a database is there but unusable (createMissingDatabases). What it makes is
// private: folders 0700, files 0600.
void prepareAppFolder(const std::filesystem::path& appFolder,
                      const std::filesystem::path& resources);

} // namespace vellumite
