// What was last uploaded to one server folder for a site: each file's name, size and SHA-256.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vellumite {

// Kept in the app folder, one file per site, server, user and folder, and written whole after
// every change, so that a run cut short leaves the uploads it confirmed. A run that sends only
// what changed compares each file with its entry.
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

    // Reads `file` when it exists. Lines that cannot be read are skipped: a file without an
    // entry is only sent again. Throws std::system_error when it exists but cannot be read.
    UploadManifest(std::filesystem::path file, std::string description);

    // The server holds exactly these bytes under `name`, as far as the manifest knows.
    bool unchanged(const std::string& name, const Entry& entry) const;
    std::size_t size() const { return m_entries.size(); }

    // Files about to be sent: their copy on the server is no longer known until the upload is
    // confirmed. Written at once when that removed an entry.
    void forget(const std::vector<std::string>& names);
    // A confirmed upload; written at once.
    void record(const std::string& name, const Entry& entry);

private:
    void save() const;

    std::filesystem::path m_file;
    std::string m_description; // what the file is for, on its second line
    std::map<std::string, Entry> m_entries;
};

} // namespace vellumite
