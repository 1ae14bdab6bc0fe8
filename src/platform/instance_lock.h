// A single-instance lock on a file: held for the life of the process, with a short record
// (the holder's process id and one line of text) that other processes can read.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// The lock is an flock(2) on the file, so it ends with its holder however that ends: a lock
// left by a process that is gone is simply free again.
class InstanceLock {
public:
    // Takes the lock at `path` (the file is made 0600 when missing), or returns nothing when
    // another process holds it. Throws std::system_error when the file cannot be opened.
    static std::optional<InstanceLock> tryAcquire(const std::filesystem::path& path);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // Empties the record and releases the lock.
    ~InstanceLock();

    // Replaces the record with this process's id and `text` (one line).
    void publish(std::string_view text);

private:
    explicit InstanceLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

struct LockHolder {
    pid_t pid = 0;
    std::string text; // as published; empty while the holder has not published yet
};

// The holder of the lock at `path` when a process holds it; nothing when the file is missing
// or free.
std::optional<LockHolder> lockHolder(const std::filesystem::path& path);

} // namespace platform
