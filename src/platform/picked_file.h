// A file the user chose in the page, received into a private temporary folder of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The largest file a page may hand over: enough for any picture or short clip a weblog post
// carries, and small enough that the request arrives within the server's time for one.
inline constexpr std::uint64_t kMaxPickedFileBytes = 64ull << 20;

// "photo.gif" of "C:\fakepath\photo.gif" or "dir/photo.gif". Nothing for a name that is empty,
// "." or "..", or holds control bytes: none of those can name a file here or on a server.
std::optional<std::string> pickedBaseName(std::string_view name);

// What is said when a file is over kMaxPickedFileBytes.
std::string pickedFileTooLarge(std::string_view name, std::uint64_t size);

// The folder (0700) and the file (0600) go when the object goes. Made by the web server's
// thread while the bytes arrive; after that it belongs to the logic.
class PickedFile {
public:
    // Makes the folder below the system's temporary folder and opens the file `name` (a base
    // name, see pickedBaseName) for writing. Throws std::system_error.
    explicit PickedFile(std::string_view name);
    ~PickedFile();
    PickedFile(const PickedFile&) = delete;
    PickedFile& operator=(const PickedFile&) = delete;

    // While receiving. append() returns false once the file would pass kMaxPickedFileBytes or a
    // write failed; finish() closes it and returns whether every byte was written.
    bool append(const char* data, std::size_t size);
    bool finish();

    const std::filesystem::path& path() const { return m_path; }
    // The name the page gave, and the file's size.
    const std::string& name() const { return m_name; }
    std::uint64_t size() const { return m_size; }
    // Gives the file another name in its folder (a base name; anything else throws
    // std::system_error, as a failed rename does).
    void rename(std::string_view baseName);

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_path;
    std::string m_name;
    std::ofstream m_out;
    std::uint64_t m_size = 0;
    bool m_failed = false;
};

} // namespace platform
