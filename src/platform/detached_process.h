// Starting another program that lives on its own: no shell, no waiting, nothing inherited that
// ties it to this process.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Starts argv[0] (looked up in PATH when it holds no "/") with the arguments as given, in a
// session of its own, standard input and output on /dev/null, signals at their defaults. Does
// not wait for it; it is reaped when it ends. Throws std::system_error reading
// "cannot start <program>: <reason>" when it cannot be started.
void startDetached(const std::vector<std::string>& argv);

// The program's path when `name` is found in PATH (an executable file), else nothing.
std::optional<std::filesystem::path> findProgram(const std::string& name);

// A command as typed on a command line, split at blanks into the program and its arguments.
// Double or single quotes keep blanks inside one argument ("'My Writer' --new").
std::vector<std::string> splitCommand(const std::string& command);

} // namespace platform
