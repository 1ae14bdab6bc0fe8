// Runs the vellumite program built with the tests and captures what it prints.
#pragma once

#include <string>

namespace testing_support {

struct ProgramRun {
    int status = -1;    // exit status, -1 when it did not exit normally, 124 past the deadline
    std::string output; // stdout and stderr together
};

// `args` is passed through the shell: quote paths that may hold blanks. The run is ended after
// 20 seconds.
ProgramRun runVellumite(const std::string& args);

// Runs a shell command line, ended after `seconds`.
ProgramRun runCommand(const std::string& commandLine, int seconds = 20);

// `text` as one shell word.
std::string shellQuoted(const std::string& text);

} // namespace testing_support
