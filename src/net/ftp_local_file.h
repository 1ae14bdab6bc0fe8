// The local file of an FTP transfer, kept whole: a failed download leaves the old file as it
// was and nothing new behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vellumite {

// Errors are raised as platform::NumberedError with the file statements' numbers (53, 57, 61,
// 70, 75), "cannot <verb> <path>: <reason>" and the caller's `source`.
class FtpLocalFile {
public:
    // For an upload: read only.
    static std::unique_ptr<FtpLocalFile> openForReading(const std::string& path,
                                                        const char* source);
    // For a resumed download: written after the bytes already there.
    static std::unique_ptr<FtpLocalFile> openForResuming(const std::string& path,
                                                         const char* source);
    // For a download from the start: a file of its own beside `target`, which takes the
    // target's place at commit() and is removed if it never gets there.
    static std::unique_ptr<FtpLocalFile> createBeside(const std::string& target,
                                                      const char* source);
    ~FtpLocalFile();
    FtpLocalFile(const FtpLocalFile&) = delete;
    FtpLocalFile& operator=(const FtpLocalFile&) = delete;

    std::int64_t size(const char* source) const;
    // Reads exactly `length` bytes at `offset`: a file that shrank is an error.
    void readAt(std::int64_t offset, char* into, std::size_t length, const char* source) const;
    void writeAt(std::int64_t offset, const std::string& bytes, const char* source);
    // Puts a download made by createBeside in its target's place; nothing for the others.
    void commit(const char* source);

private:
    FtpLocalFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}

    std::string m_path; // the file the user named
    int m_fd = -1;
    std::string m_temporary; // createBeside's own file until commit()
};

} // namespace vellumite
