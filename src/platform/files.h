// File helpers: whole-file reads and writes, case-insensitive names, copying a tree.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::files {

namespace fs = std::filesystem;

// Failures throw std::system_error reading "cannot <verb> <path>: <reason>".
std::string readFile(const fs::path& path);
// The lines of a text file without their CR LF or LF endings.
std::vector<std::string> readLines(const fs::path& path);
// The same for a text already read.
std::vector<std::string> splitLines(std::string_view text);

// Read and write for the owner alone: what the programs write is the user's private business.
inline constexpr fs::perms kPrivateFile = fs::perms::owner_read | fs::perms::owner_write;
inline constexpr fs::perms kPrivateFolder = fs::perms::owner_all;

// Writes the file whole: a temporary file beside it, then a rename, so readers never see
// half a file and a failed write leaves the old one. The file gets `mode` (the umask may only
// narrow it).
void writeFileAtomic(const fs::path& path, std::string_view content, fs::perms mode = kPrivateFile);

// Creates `folder` and its missing parents; those it creates get `mode` exactly, whatever the
// umask. Throws std::system_error.
void createFolders(const fs::path& folder, fs::perms mode = kPrivateFolder);

// Resolves `relative` beneath `base`, matching each name without regard to ASCII case.
// Returns nothing for names that escape `base` ("..", absolute paths, NUL) or do not exist.
// With `forWriting`, the last name may be missing: the path to create is returned, spelled
// as an existing file of another case if there is one.
std::optional<fs::path> resolveNoCase(const fs::path& base, std::string_view relative,
                                      bool forWriting = false);

// Copies `from` into `to` recursively, creating folders; files already in `to` are kept.
// Copies are private: files kPrivateFile, new folders kPrivateFolder.
void copyMissing(const fs::path& from, const fs::path& to);

} // namespace platform::files
