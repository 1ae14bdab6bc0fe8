// A site's FTP settings, and the one place where a session is set up from them and where the
// user decides on a server certificate that no authority vouches for.
#pragma once

#include "core/app_state.h"
#include "net/ftp_client.h"
#include "platform/database.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vellumite {

struct SiteFtp {
    std::int32_t logId = 0;
    std::string location; // the server as typed: host, host:port, [IPv6] or [IPv6]:port
    bool tls = true;      // FTP over explicit TLS ("ftpes://" in front of the stored server)
    std::string user;
    std::string password;
    std::string path; // ftppath: "" for the login folder, else "/folder"
    bool passive = false;
    // Over TLS, trusted besides the system's authorities: the authorities of a PEM file, and
    // certificates by their SHA-256 fingerprints (first the one kept for this site and server).
    std::string caFile;
    std::vector<std::string> trustedFingerprints;

    // Server, user name and password are all there (the path may be empty).
    bool complete() const { return !location.empty() && !user.empty() && !password.empty(); }
};

inline constexpr const char* kFtpSettingsIncomplete =
    "Your ftp settings are not complete.  I do not have enough details to upload.";
inline constexpr const char* kNoTlsMessage =
    "The FTP server does not offer FTP with TLS, so nothing was sent to it, not even your user "
    "name.  Ask your provider for TLS, or choose Plain FTP in this site's settings if you accept "
    "that your password and pages travel unencrypted.";
inline constexpr const char* kUntrustedCertificateTitle = "Untrusted certificate";
inline constexpr const char* kChangedCertificateTitle = "Changed certificate";

// Reads the FTP fields of the site row (DbError 3021 when there is no such site) and the
// certificate the user trusted for its server, kept in `appFolder`.
SiteFtp readSiteFtp(platform::Database& db, std::int32_t logId,
                    const std::filesystem::path& appFolder);

// Sets `client` up for the site: server and port, TLS and what it trusts, login, passive
// transfers when the site asks for them, the time-out. When the server cannot be read
// ("host:99999") the client is left alone and what to tell the user is returned.
std::optional<std::string> configureClient(CFtpClient& client, const SiteFtp& site,
                                           std::int16_t timeoutSeconds = 60);

// The last Connect of `client` failed on the server's certificate: no authority it trusts
// vouches for it, and it is none of the fingerprints it was given.
bool failedOnUntrustedCertificate(const CFtpClient& client);

// What to say when a session of the site is refused on `certificate`: its fingerprint, and a
// warning when another certificate was trusted there before.
std::string untrustedCertificateMessage(const SiteFtp& site,
                                        const platform::tls::Certificate& certificate);

// Called by whoever opened a session of the site when its Connect failed. When the failure
// was an untrusted certificate, shows its fingerprint and asks the user whether to trust it
// for this site (warning that it changed when another was trusted before). A Yes is kept for
// the site and server and given to `site` and `client`: the caller connects again. Returns
// whether to connect again (false for any other failure, and for a No).
bool askToTrustCertificate(AppState& app, SiteFtp& site, CFtpClient& client);

} // namespace vellumite
