// Writing a post in a word processor: the post's document is made from the shipped template and
// opened with the user's word processor; the site generator reads it back when it publishes.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vellumite {

// The command that opens `document`: `configured` (a program and its arguments, split at
// blanks) or, when it is empty, LibreOffice Writer where it is installed, else xdg-open; the
// document's path is the last argument, whole.
std::vector<std::string> wordProcessorCommand(const std::string& configured,
                                              const std::filesystem::path& document);

// external/<LogID>_<postID>.html made from external/template.html when it is not there yet
// (a document the user has written is kept). Returns its path. Throws std::system_error when
// there is no document and none can be made.
std::filesystem::path makePostDocument(AppState& app, std::int32_t postId);

// "<$mswordedit-N$>": post N's document opened in the word processor, which is started and
// not waited for. N = 0 first posts the form as a new post kept in a document (refused
// without a title).
void subWordEdit(AppState& app, std::int32_t postId);

} // namespace vellumite
