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

// Writes the file whole: a temporary file beside it, then a rename, so readers never see
// half a file and a failed write leaves the old one.
void writeFileAtomic(const fs::path& path, std::string_view content,
                     fs::perms mode = fs::perms::owner_read | fs::perms::owner_write |
                                      fs::perms::group_read | fs::perms::others_read);

// Resolves `relative` beneath `base`, matching each name without regard to ASCII case.
// Returns nothing for names that escape `base` ("..", absolute paths, NUL) or do not exist.
// With `forWriting`, the last name may be missing: the path to create is returned, spelled
// as an existing file of another case if there is one.
std::optional<fs::path> resolveNoCase(const fs::path& base, std::string_view relative,
                                      bool forWriting = false);

// Copies `from` into `to` recursively, creating folders; files already in `to` are kept.
void copyMissing(const fs::path& from, const fs::path& to);

} // namespace platform::files
