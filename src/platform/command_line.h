// A command line of the usual shape: program [options] [command] [args], options anywhere.
#pragma once

#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

struct OptionSpec {
    std::string name;  // long name without "--"
    std::string value; // name of its value ("DIR"), empty for a flag
    std::string help;
    char shortName = 0; // optional one-letter form ("-v")
};

struct CommandSpec {
    std::string name;
    std::string arguments; // shown in usage, e.g. "SITE"
    std::string summary;
    std::vector<OptionSpec> options; // accepted by this command besides the global ones
    std::size_t minArgs = 0;
    std::size_t maxArgs = std::numeric_limits<std::size_t>::max();
    std::string details; // further help text, may be empty
};

struct ParsedCommandLine {
    std::string command; // empty when none was given
    std::vector<std::string> args;
    std::map<std::string, std::string> values; // options with values
    std::map<std::string, bool> flags;         // flags given
    bool help = false;

    bool flag(const std::string& name) const { return flags.contains(name); }
    std::optional<std::string> value(const std::string& name) const;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws UsageError with a one-line reason for unknown commands or options, a missing value or
// a wrong number of arguments (the argument count is not checked when help is asked for).
ParsedCommandLine parseCommandLine(const std::vector<std::string>& argv,
                                   const std::vector<OptionSpec>& global,
                                   const std::vector<CommandSpec>& commands);

std::string programHelp(const std::string& program, const std::string& summary,
                        const std::vector<OptionSpec>& global,
                        const std::vector<CommandSpec>& commands);
std::string commandHelp(const std::string& program, const CommandSpec& command,
                        const std::vector<OptionSpec>& global);

} // namespace platform
