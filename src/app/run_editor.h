// Running the editor: the server, the shell, the loop, until the user quits.
#pragma once

#include "core/app_state.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vellumite {

struct EditorOptions {
    std::filesystem::path appFolder;
    int port = 0;
    bool openBrowser = true;
    Settings settings;
};

// The file in the app folder that holds the editor's address (mode 0600) while it runs.
inline constexpr const char* kAddressFile = "vellumite-address.html";

// Starts the editor and runs it until "<$quit$>", a signal, or the browser window closing.
// Prints "Vellumite Editor: <address>" on standard output once it serves. Returns the exit
// status. The editor holds the app folder's lock (store/editor_instance.h) for its whole run:
// when another editor runs on the folder, this prints that one's address, opens the browser on
// it and returns 0.
int runEditor(const EditorOptions& options);

} // namespace vellumite
