// Reading and writing the add-on's settings file.
#include "toolbar/settings_file.h"

#include "platform/files.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace vellumite::toolbar {

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string key;
    std::string value;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

// Values may hold line feeds (the search list does): stored as "\n", a backslash as "\\".
std::string escaped(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<Section> parse(std::string_view text) {
    std::vector<Section> sections;
    for (const auto& raw : platform::files::splitLines(text)) {
        std::string_view line = platform::trimmedBlanks(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            sections.push_back(
                {std::string(platform::trimmedBlanks(line.substr(1, line.size() - 2))), {}});
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || sections.empty())
            continue; // a line of no section is not ours to keep
        sections.back().entries.push_back(
            {std::string(platform::trimmedBlanks(line.substr(0, eq))),
             unescaped(platform::trimmedBlanks(line.substr(eq + 1)))});
    }
    return sections;
}

std::string render(const std::vector<Section>& sections) {
    std::string out;
    for (const auto& section : sections) {
        out += "[" + section.name + "]\n";
        for (const auto& entry : section.entries)
            out += entry.key + "=" + escaped(entry.value) + "\n";
        out += "\n";
    }
    return out;
}

std::vector<Section> readSections(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return {};
    return parse(platform::files::readFile(path));
}

// An exclusive flock on a companion file for the length of one read-modify-write.
class WriteLock {
public:
    explicit WriteLock(const fs::path& settings) {
        fs::path lockPath = settings;
        lockPath += ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
            throw std::system_error(errno, std::generic_category(),
                                    "cannot lock " + lockPath.string());
    }
    ~WriteLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace

fs::path SettingsFile::defaultPath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".config";
    else
        throw std::runtime_error("cannot find the settings folder: neither XDG_CONFIG_HOME nor "
                                 "HOME is set");
    return base / "vellumite/vellumitebar.ini";
}

std::string SettingsFile::get(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    // The last spelling written wins when a hand-edited file holds a name twice.
    std::optional<std::string> found;
    for (const auto& s : readSections(m_path)) {
        if (!platform::equalsNoCase(s.name, section))
            continue;
        for (const auto& entry : s.entries)
            if (platform::equalsNoCase(entry.key, key))
                found = entry.value;
    }
    return found ? *found : std::string(fallback);
}

void SettingsFile::set(std::string_view section,
                       const std::vector<std::pair<std::string, std::string>>& values) {
    std::error_code ec;
    fs::create_directories(m_path.parent_path(), ec);
    if (ec)
        throw std::system_error(ec, "cannot create " + m_path.parent_path().string());
    WriteLock lock(m_path);
    auto sections = readSections(m_path);
    Section* target = nullptr;
    for (auto& s : sections)
        if (platform::equalsNoCase(s.name, section))
            target = &s;
    if (!target)
        target = &sections.emplace_back(Section{std::string(section), {}});
    for (const auto& [key, value] : values) {
        Entry* entry = nullptr;
        for (auto& e : target->entries)
            if (platform::equalsNoCase(e.key, key))
                entry = &e;
        if (entry)
            entry->value = value;
        else
            target->entries.push_back({key, value});
    }
    platform::files::writeFileAtomic(m_path, render(sections),
                                     fs::perms::owner_read | fs::perms::owner_write);
}

std::string serviceAddress(std::string_view base, std::string_view path) {
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    return std::string(base) + std::string(path);
}

bool highlightsOn(const SettingsFile& settings) {
    return settings.get(kUserSection, kHighlightsKey, "on") != "off";
}

} // namespace vellumite::toolbar
