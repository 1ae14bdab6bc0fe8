// Receiving a chosen file into a private folder, and naming it safely.
#include "platform/picked_file.h"

#include "platform/web_requests.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

std::optional<std::string> pickedBaseName(std::string_view name) {
    const std::size_t cut = name.find_last_of("/\\");
    if (cut != std::string_view::npos)
        name.remove_prefix(cut + 1);
    if (name.empty() || name == "." || name == ".." || web::hasControlBytes(name))
        return std::nullopt;
    return std::string(name);
}

std::string pickedFileTooLarge(std::string_view name, std::uint64_t size) {
    return std::string(name) + " has " + std::to_string(size) + " bytes; files of up to " +
           std::to_string(kMaxPickedFileBytes >> 20) + " MB can be uploaded from here.";
}

PickedFile::PickedFile(std::string_view name) : m_name(name) {
    auto base = pickedBaseName(name);
    if (!base)
        throw std::system_error(EINVAL, std::generic_category(),
                                "cannot take a file named \"" + std::string(name) + "\"");
    std::string pattern = (fs::temp_directory_path() / "picked-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) // 0700
        throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
    m_folder = pattern;
    m_path = m_folder / *base;
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
        throw std::system_error(error, std::generic_category(), "cannot create " + m_path.string());
    }
    ::close(fd);
    m_out.open(m_path, std::ios::binary | std::ios::trunc);
}

PickedFile::~PickedFile() {
    m_out.close();
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

bool PickedFile::append(const char* data, std::size_t size) {
    if (m_failed || m_size + size > kMaxPickedFileBytes) {
        m_failed = true;
        return false;
    }
    m_out.write(data, static_cast<std::streamsize>(size));
    m_size += size;
    m_failed = !m_out;
    return !m_failed;
}

bool PickedFile::finish() {
    m_out.close();
    return !m_failed && !m_out.fail();
}

void PickedFile::rename(std::string_view baseName) {
    auto base = pickedBaseName(baseName);
    if (!base || *base != baseName)
        throw std::system_error(EINVAL, std::generic_category(),
                                "cannot name a file \"" + std::string(baseName) + "\"");
    const fs::path target = m_folder / *base;
    if (target == m_path)
        return;
    fs::rename(m_path, target);
    m_path = target;
}

} // namespace platform
