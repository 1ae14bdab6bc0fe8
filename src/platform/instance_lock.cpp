// A single-instance lock on a file, with a record for other processes.
#include "platform/instance_lock.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

std::system_error systemError(const std::string& what, const std::filesystem::path& path) {
    return std::system_error(errno, std::generic_category(), what + " " + path.string());
}

// Reads what the file holds from its start.
std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    off_t offset = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
    return text;
}

} // namespace

std::optional<InstanceLock> InstanceLock::tryAcquire(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw systemError("cannot open", path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return std::nullopt;
        errno = error;
        throw systemError("cannot lock", path);
    }
    return InstanceLock(fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        this->~InstanceLock();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (m_fd < 0)
        return;
    // An empty record before the release, so nobody reads the old holder's address.
    [[maybe_unused]] int rc = ::ftruncate(m_fd, 0);
    ::close(m_fd); // closing the last descriptor releases the flock
}

void InstanceLock::publish(std::string_view text) {
    // Written in place: the lock belongs to this inode, so the file cannot be replaced by a
    // rename. Readers take a record only when its closing line feed is there.
    std::string record = std::to_string(::getpid()) + "\n" + std::string(text) + "\n";
    if (::ftruncate(m_fd, 0) != 0 ||
        ::pwrite(m_fd, record.data(), record.size(), 0) != static_cast<ssize_t>(record.size()))
        throw std::system_error(errno, std::generic_category(), "cannot write the lock record");
}

std::optional<LockHolder> lockHolder(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::optional<LockHolder> holder;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN); // free: nobody holds it
    } else if (errno == EWOULDBLOCK) {
        holder.emplace();
        std::string record = readAll(fd);
        auto firstEnd = record.find('\n');
        if (firstEnd != std::string::npos && record.back() == '\n') {
            long pid = 0;
            std::from_chars(record.data(), record.data() + firstEnd, pid);
            holder->pid = static_cast<pid_t>(pid);
            holder->text = record.substr(firstEnd + 1, record.size() - firstEnd - 2);
        }
    }
    ::close(fd);
    return holder;
}

} // namespace platform
