// Reading, appending to and rewriting the upload manifest.
#include "publish/upload_manifest.h"

#include "platform/files.h"
#include "platform/sha256.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "# Vellumite upload manifest: SHA-256, size, name";
constexpr std::string_view kForget = "- "; // a line "- <name>": the entry is gone

bool isDigest(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string entryLine(const std::string& name, const UploadManifest::Entry& entry) {
    return entry.sha256 + " " + std::to_string(entry.size) + " " + name + "\n";
}

// Names and descriptions go on lines of their own.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

[[noreturn]] void fail(int error, const char* verb, const fs::path& file) {
    throw std::system_error(error, std::generic_category(),
                            std::string("cannot ") + verb + " " + file.string());
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
    : m_file(std::move(file)), m_description(oneLine(std::move(description))) {
    load();
    rewrite();
}

UploadManifest::~UploadManifest() {
    if (m_fd >= 0)
        ::close(m_fd);
}

UploadManifest::UploadManifest(UploadManifest&& other) noexcept
    : m_file(std::move(other.m_file)), m_description(std::move(other.m_description)),
      m_entries(std::move(other.m_entries)), m_fd(std::exchange(other.m_fd, -1)) {}

UploadManifest& UploadManifest::operator=(UploadManifest&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_file = std::move(other.m_file);
        m_description = std::move(other.m_description);
        m_entries = std::move(other.m_entries);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void UploadManifest::load() {
    std::error_code ec;
    if (!fs::exists(m_file, ec))
        return;
    const std::string text = platform::files::readFile(m_file);
    // Only whole lines count: a last line without its line end was being written.
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string_view line(text.data() + start, end - start);
        if (line.starts_with(kForget)) {
            m_entries.erase(std::string(line.substr(kForget.size())));
            continue;
        }
        // "<sha256> <size> <name>"
        const std::size_t first = line.find(' ');
        const std::size_t second = first == line.npos ? first : line.find(' ', first + 1);
        if (second == line.npos || second + 1 >= line.size())
            continue;
        Entry entry;
        entry.sha256 = std::string(line.substr(0, first));
        const auto [ptr, error] =
            std::from_chars(line.data() + first + 1, line.data() + second, entry.size);
        if (!isDigest(entry.sha256) || error != std::errc() || ptr != line.data() + second)
            continue;
        m_entries[std::string(line.substr(second + 1))] = entry;
    }
}

void UploadManifest::rewrite() {
    std::string text(kHeader);
    text += "\n# " + m_description + "\n";
    for (const auto& [name, entry] : m_entries)
        text += entryLine(name, entry);
    fs::create_directories(m_file.parent_path());
    fs::permissions(m_file.parent_path(), fs::perms::owner_all, fs::perm_options::replace);
    platform::files::writeFileAtomic(m_file, text, fs::perms::owner_read | fs::perms::owner_write);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(m_file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (m_fd < 0)
        fail(errno, "open", m_file);
}

void UploadManifest::append(const std::string& lines) {
    // One write of whole lines, at the end of the file whatever else wrote there.
    for (std::size_t done = 0; done < lines.size();) {
        const ssize_t n = ::write(m_fd, lines.data() + done, lines.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errno, "write", m_file);
        done += static_cast<std::size_t>(n);
    }
}

bool UploadManifest::unchanged(const std::string& name, const Entry& entry) const {
    auto it = m_entries.find(name);
    return it != m_entries.end() && it->second == entry;
}

void UploadManifest::forget(const std::vector<std::string>& names) {
    std::string lines;
    for (const std::string& name : names)
        if (m_entries.erase(name) > 0)
            lines += std::string(kForget) + oneLine(name) + "\n";
    if (!lines.empty())
        append(lines);
}

void UploadManifest::record(const std::string& name, const Entry& entry) {
    m_entries[name] = entry;
    append(entryLine(oneLine(name), entry));
}

} // namespace vellumite
