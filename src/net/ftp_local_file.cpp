// Local files of transfers: plain descriptors, and a temporary file renamed over the target.
#include "net/ftp_local_file.h"

#include "net/ftp_error.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vellumite {

using ftp_detail::raiseFileError;

namespace {

int openOrRaise(const std::string& path, int flags, const char* source) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        raiseFileError("open", path, source);
    return fd;
}

} // namespace

std::unique_ptr<FtpLocalFile> FtpLocalFile::openForReading(const std::string& path,
                                                           const char* source) {
    return std::unique_ptr<FtpLocalFile>(
        new FtpLocalFile(path, openOrRaise(path, O_RDONLY, source)));
}

std::unique_ptr<FtpLocalFile> FtpLocalFile::openForResuming(const std::string& path,
                                                            const char* source) {
    return std::unique_ptr<FtpLocalFile>(
        new FtpLocalFile(path, openOrRaise(path, O_WRONLY, source)));
}

std::unique_ptr<FtpLocalFile> FtpLocalFile::createBeside(const std::string& target,
                                                         const char* source) {
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        raiseFileError("open", target, source);
    }
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0;; ++attempt) {
        std::string temporary = target + ".part" + std::to_string(random() % 1000000000);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            std::unique_ptr<FtpLocalFile> file(new FtpLocalFile(target, fd));
            file->m_temporary = std::move(temporary);
            // The replaced file's permissions carry over: a private file stays private.
            if (replacing)
                (void)::fchmod(fd, existing.st_mode & 07777);
            return file;
        }
        if (errno != EEXIST || attempt == 100)
            raiseFileError("open", target, source);
    }
}

FtpLocalFile::~FtpLocalFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

std::int64_t FtpLocalFile::size(const char* source) const {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        raiseFileError("read", m_path, source);
    return info.st_size;
}

void FtpLocalFile::readAt(std::int64_t offset, char* into, std::size_t length,
                          const char* source) const {
    for (std::size_t done = 0; done < length;) {
        const ssize_t n = ::pread(m_fd, into + done, length - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // the file shrank under us
            raiseFileError("read", m_path, source);
        }
        done += static_cast<std::size_t>(n);
    }
}

void FtpLocalFile::writeAt(std::int64_t offset, const std::string& bytes, const char* source) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            raiseFileError("write", m_path, source);
        done += static_cast<std::size_t>(n);
    }
}

void FtpLocalFile::commit(const char* source) {
    if (m_temporary.empty())
        return;
    const int fd = std::exchange(m_fd, -1);
    // A write the disk refused may only show at close.
    if (::close(fd) != 0 || ::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        raiseFileError("write", m_path, source);
    m_temporary.clear();
}

} // namespace vellumite
