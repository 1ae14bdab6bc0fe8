// Reading and writing the upload manifest.
#include "publish/upload_manifest.h"

#include "platform/files.h"
#include "platform/sha256.h"

#include <charconv>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "# Vellumite upload manifest: SHA-256, size, name";

bool isDigest(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace

fs::path UploadManifest::fileFor(const fs::path& appFolder, std::int32_t logId,
                                 const std::string& server, const std::string& user,
                                 const std::string& folder) {
    // The names may hold any character; their digest makes a file name that cannot.
    const std::string key = platform::sha256Hex(server + "\n" + user + "\n" + folder);
    return appFolder / "publish" /
           ("manifest-" + std::to_string(logId) + "-" + key.substr(0, 16) + ".txt");
}

UploadManifest::UploadManifest(fs::path file, std::string description)
    : m_file(std::move(file)), m_description(std::move(description)) {
    std::error_code ec;
    if (!fs::exists(m_file, ec))
        return;
    for (const std::string& line : platform::files::readLines(m_file)) {
        // "<sha256> <size> <name>"
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second == std::string::npos || second + 1 >= line.size())
            continue;
        Entry entry;
        entry.sha256 = line.substr(0, first);
        const char* sizeStart = line.data() + first + 1;
        const auto [end, error] = std::from_chars(sizeStart, line.data() + second, entry.size);
        if (!isDigest(entry.sha256) || error != std::errc() || end != line.data() + second)
            continue;
        m_entries[line.substr(second + 1)] = entry;
    }
}

bool UploadManifest::unchanged(const std::string& name, const Entry& entry) const {
    auto it = m_entries.find(name);
    return it != m_entries.end() && it->second == entry;
}

void UploadManifest::forget(const std::vector<std::string>& names) {
    bool removed = false;
    for (const std::string& name : names)
        removed = m_entries.erase(name) > 0 || removed;
    if (removed)
        save();
}

void UploadManifest::record(const std::string& name, const Entry& entry) {
    m_entries[name] = entry;
    save();
}

void UploadManifest::save() const {
    std::string text(kHeader);
    text += "\n# " + m_description + "\n";
    for (const auto& [name, entry] : m_entries)
        text += entry.sha256 + " " + std::to_string(entry.size) + " " + name + "\n";
    fs::create_directories(m_file.parent_path());
    fs::permissions(m_file.parent_path(), fs::perms::owner_all, fs::perm_options::replace);
    platform::files::writeFileAtomic(m_file, text, fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace vellumite
