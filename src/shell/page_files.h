// Editor page templates read from, and pages written to, the html folder of the app folder.
#pragma once

#include "shell/app_state.h"

#include <string>
#include <string_view>

namespace vellumite {

// The template html/<name>, each line preceded by LF CR as editor templates are joined. The
// name is matched without regard to case. A missing or unreadable template throws an error
// that names it.
std::string readEditorTemplate(const AppState& app, std::string_view name);

// Writes html/<name> whole, over an existing file of that name in any letter case.
void writeEditorPage(const AppState& app, std::string_view name, std::string_view page);

} // namespace vellumite
