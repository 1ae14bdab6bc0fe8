// The server certificates the user chose to trust for a site although no certificate
// authority vouches for them, kept beside the databases in "trusted-certificates.json".
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vellumite {

// One answer per site and server ("host:port"): the SHA-256 fingerprint of the certificate
// trusted there. The file is the user's alone (0600) and written whole on every change; a
// file that cannot be read counts as empty, so the user is asked again rather than trusted
// by mistake.
class TrustedCertificates {
public:
    explicit TrustedCertificates(std::filesystem::path appFolder);

    // The fingerprint trusted for the site's server, empty when none.
    std::string fingerprint(std::int32_t logId, const std::string& server) const;
    // Replaces any earlier answer for the site's server. Throws std::system_error when the
    // file cannot be written.
    void trust(std::int32_t logId, const std::string& server, const std::string& fingerprint);
    // Drops every answer of a site that is being deleted.
    void forgetSite(std::int32_t logId);

    static constexpr const char* kFileName = "trusted-certificates.json";

private:
    std::filesystem::path m_file;
};

} // namespace vellumite
