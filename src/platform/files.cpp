// Whole-file reads and writes, case-insensitive resolution and tree copies.
#include "platform/files.h"

#include "platform/text.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <strings.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform::files {

namespace {

[[noreturn]] void fail(int err, std::string_view verb, const fs::path& path) {
    throw std::system_error(err, std::generic_category(),
                            "cannot " + std::string(verb) + " " + path.string());
}

} // namespace

std::string readFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno, "read", path);
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            fail(err, "read", path);
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

std::vector<std::string> readLines(const fs::path& path) {
    return splitLines(readFile(path));
}

void writeFileAtomic(const fs::path& path, std::string_view content, fs::perms mode) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    fs::path temp = path;
    temp += ".tmp" + std::to_string(rng() % 1000000000);
    int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0)
        fail(errno, "write", path);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            fail(err, "write", path);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(err, "write", path);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(err, "write", path);
    }
}

std::optional<fs::path> resolveNoCase(const fs::path& base, std::string_view relative,
                                      bool forWriting) {
    if (relative.find('\0') != std::string_view::npos)
        return std::nullopt;
    // Split on both separators: page addresses use "/", stored names may use "\".
    std::vector<std::string> parts;
    std::string part;
    for (char c : relative) {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    if (!relative.empty() && (relative.front() == '/' || relative.front() == '\\'))
        return std::nullopt;
    if (parts.empty())
        return std::nullopt;

    fs::path current = base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        if (name == "." || name == "..")
            return std::nullopt;
        bool last = i + 1 == parts.size();
        std::error_code ec;
        fs::path exact = current / name;
        if (fs::exists(fs::symlink_status(exact, ec))) {
            current = exact;
            continue;
        }
        std::optional<fs::path> found;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            if (equalsNoCase(it->path().filename().string(), name)) {
                found = it->path();
                break;
            }
        }
        if (found)
            current = *found;
        else if (last && forWriting)
            current = exact;
        else
            return std::nullopt;
    }
    return current;
}

void createFolders(const fs::path& folder, fs::perms mode) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return;
    if (folder.has_parent_path() && folder.parent_path() != folder)
        createFolders(folder.parent_path(), mode);
    if (::mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0) {
        if (errno == EEXIST && fs::is_directory(folder, ec))
            return; // made by someone else meanwhile
        fail(errno, "create", folder);
    }
    // mkdir's mode passes through the umask; the folder gets exactly what was asked.
    if (::chmod(folder.c_str(), static_cast<mode_t>(mode)) != 0)
        fail(errno, "create", folder);
}

void copyMissing(const fs::path& from, const fs::path& to) {
    createFolders(to);
    for (const auto& entry : fs::directory_iterator(from)) {
        fs::path target = to / entry.path().filename();
        if (entry.is_directory())
            copyMissing(entry.path(), target);
        else if (!fs::exists(fs::symlink_status(target)))
            writeFileAtomic(target, readFile(entry.path()));
    }
}

} // namespace platform::files
