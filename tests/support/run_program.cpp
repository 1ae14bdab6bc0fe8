// popen-based runners for the program under test and other command lines.
#include "support/run_program.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace testing_support {

ProgramRun runVellumite(const std::string& args) {
    // A deadline, so that a run which starts the editor by mistake fails instead of waiting.
    return runCommand(std::string(VELLUMITE_BINARY) + " " + args);
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ProgramRun runCommand(const std::string& commandLine, int seconds) {
    std::string command = "timeout -k 5 " + std::to_string(seconds) + " " + commandLine + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    ProgramRun run;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        run.output.append(buf.data(), n);
    int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace testing_support
