// What was last uploaded to one server folder for a site: each file's name, size and SHA-256.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vellumite {

// Kept in the app folder, one file per site, server, user and folder. Each change is appended
// as one line the moment it is made, so that a run cut short leaves the uploads it confirmed;
// the file is written whole again (temporary file, then rename) when it is opened. A line
// without its line end (the program stopped while writing it) is ignored.
class UploadManifest {
public:
    struct Entry {
        std::uint64_t size = 0;
        std::string sha256;
        bool operator==(const Entry&) const = default;
    };

    // The manifest file for uploads of site `logId` to `folder` on `server` ("host:port") as
    // `user`, in "publish/" of the app folder.
    static std::filesystem::path fileFor(const std::filesystem::path& appFolder, std::int32_t logId,
                                         const std::string& server, const std::string& user,
                                         const std::string& folder);

    // Reads `file` when it exists and writes it anew, compact. Lines that cannot be read are
    // skipped: a file without an entry is only sent again. Throws std::system_error when the
    // file cannot be read or written.
    UploadManifest(std::filesystem::path file, std::string description);
    ~UploadManifest();
    UploadManifest(UploadManifest&& other) noexcept;
    UploadManifest& operator=(UploadManifest&& other) noexcept;
    UploadManifest(const UploadManifest&) = delete;
    UploadManifest& operator=(const UploadManifest&) = delete;

    // The server holds exactly these bytes under `name`, as far as the manifest knows.
    bool unchanged(const std::string& name, const Entry& entry) const;
    std::size_t size() const { return m_entries.size(); }

    // Files about to be sent: their copy on the server is no longer known until the upload is
    // confirmed.
    void forget(const std::vector<std::string>& names);
    // A confirmed upload.
    void record(const std::string& name, const Entry& entry);

private:
    void load();
    void rewrite();
    void append(const std::string& lines);

    std::filesystem::path m_file;
    std::string m_description; // what the file is for, on its second line
    std::map<std::string, Entry> m_entries;
    int m_fd = -1; // opened for appending
};

} // namespace vellumite
