// Parsing and help text for the command line.
#include "platform/command_line.h"

#include <algorithm>
#include <sstream>

namespace platform {

namespace {

const OptionSpec* findLong(const std::vector<const std::vector<OptionSpec>*>& tables,
                           const std::string& name) {
    for (const auto* table : tables)
        for (const auto& o : *table)
            if (o.name == name)
                return &o;
    return nullptr;
}

const OptionSpec* findShort(const std::vector<const std::vector<OptionSpec>*>& tables, char c) {
    for (const auto* table : tables)
        for (const auto& o : *table)
            if (o.shortName != 0 && o.shortName == c)
                return &o;
    return nullptr;
}

const CommandSpec* findCommand(const std::vector<CommandSpec>& commands, const std::string& name) {
    for (const auto& c : commands)
        if (c.name == name)
            return &c;
    return nullptr;
}

// The command word is the first argument that is neither an option nor an option's value.
// Any table may say whether an option takes a value, so options of the command may come
// before the command itself.
std::optional<std::size_t> commandPosition(const std::vector<std::string>& argv,
                                           const std::vector<OptionSpec>& global,
                                           const std::vector<CommandSpec>& commands) {
    std::vector<const std::vector<OptionSpec>*> all{&global};
    for (const auto& c : commands)
        all.push_back(&c.options);
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--")
            return i + 1 < argv.size() ? std::optional(i + 1) : std::nullopt;
        if (a.rfind("--", 0) == 0) {
            if (a.find('=') == std::string::npos) {
                const OptionSpec* o = findLong(all, a.substr(2));
                if (o && !o->value.empty())
                    ++i;
            }
            continue;
        }
        if (a.size() == 2 && a[0] == '-' && a[1] != '-') {
            const OptionSpec* o = findShort(all, a[1]);
            if (o && !o->value.empty())
                ++i;
            continue;
        }
        return i;
    }
    return std::nullopt;
}

std::string optionLabel(const OptionSpec& o) {
    std::string label = o.shortName ? std::string("-") + o.shortName + ", " : "    ";
    label += "--" + o.name;
    if (!o.value.empty())
        label += " " + o.value;
    return label;
}

void appendOptions(std::ostringstream& out, const std::vector<OptionSpec>& options) {
    std::size_t width = 0;
    for (const auto& o : options)
        width = std::max(width, optionLabel(o).size());
    for (const auto& o : options) {
        std::string label = optionLabel(o);
        out << "  " << label << std::string(width - label.size() + 2, ' ') << o.help << "\n";
    }
}

} // namespace

std::optional<std::string> ParsedCommandLine::value(const std::string& name) const {
    if (auto it = values.find(name); it != values.end())
        return it->second;
    return std::nullopt;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& argv,
                                   const std::vector<OptionSpec>& global,
                                   const std::vector<CommandSpec>& commands) {
    ParsedCommandLine out;
    const CommandSpec* command = nullptr;
    auto commandAt = commandPosition(argv, global, commands);
    if (commandAt) {
        command = findCommand(commands, argv[*commandAt]);
        if (!command)
            throw UsageError("unknown command '" + argv[*commandAt] + "' (see --help)");
        out.command = command->name;
    }
    std::vector<const std::vector<OptionSpec>*> tables{&global};
    if (command)
        tables.push_back(&command->options);

    bool optionsEnded = false;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (commandAt && i == *commandAt)
            continue;
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            out.args.push_back(a);
            continue;
        }
        if (a == "--help" || a == "-h") {
            out.help = true;
            continue;
        }
        const OptionSpec* o = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown = a;
        if (a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            if (auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
                shown = "--" + name;
            }
            o = findLong(tables, name);
        } else if (a.size() == 2) {
            o = findShort(tables, a[1]);
        }
        if (!o)
            throw UsageError("unknown option '" + shown + "'" +
                             (command ? " for '" + command->name + "'" : std::string()) +
                             " (see --help)");
        if (o->value.empty()) {
            if (inlineValue)
                throw UsageError("option '--" + o->name + "' takes no value");
            out.flags[o->name] = true;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= argv.size())
                throw UsageError("option '--" + o->name + "' needs a value (" + o->value + ")");
            inlineValue = argv[++i];
        }
        out.values[o->name] = *inlineValue;
    }

    if (!out.help && command) {
        if (out.args.size() < command->minArgs)
            throw UsageError("'" + command->name + "' needs " + command->arguments + " (see " +
                             command->name + " --help)");
        if (out.args.size() > command->maxArgs)
            throw UsageError("too many arguments for '" + command->name + "' (see " +
                             command->name + " --help)");
    } else if (!out.help && !out.args.empty()) {
        throw UsageError("unknown command '" + out.args.front() + "' (see --help)");
    }
    return out;
}

std::string programHelp(const std::string& program, const std::string& summary,
                        const std::vector<OptionSpec>& global,
                        const std::vector<CommandSpec>& commands) {
    std::ostringstream out;
    out << "Usage: " << program << " [options] [command] [arguments]\n\n" << summary << "\n";
    if (!commands.empty()) {
        out << "\nCommands:\n";
        std::size_t width = 0;
        for (const auto& c : commands)
            width = std::max(width, c.name.size() + 1 + c.arguments.size());
        for (const auto& c : commands) {
            std::string label = c.name + (c.arguments.empty() ? "" : " " + c.arguments);
            out << "  " << label << std::string(width - label.size() + 2, ' ') << c.summary << "\n";
        }
    }
    out << "\nOptions:\n";
    auto withHelp = global;
    withHelp.push_back({"help", "", "show this help; with a command, that command's help", 'h'});
    appendOptions(out, withHelp);
    return out.str();
}

std::string commandHelp(const std::string& program, const CommandSpec& command,
                        const std::vector<OptionSpec>& global) {
    std::ostringstream out;
    out << "Usage: " << program << " " << command.name << " [options]"
        << (command.arguments.empty() ? "" : " " + command.arguments) << "\n\n"
        << command.summary << "\n";
    if (!command.details.empty())
        out << "\n" << command.details << "\n";
    if (!command.options.empty()) {
        out << "\nOptions of " << command.name << ":\n";
        appendOptions(out, command.options);
    }
    out << "\nGeneral options:\n";
    appendOptions(out, global);
    return out.str();
}

} // namespace platform
