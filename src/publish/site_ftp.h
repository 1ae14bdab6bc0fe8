// A site's FTP settings, and the one place where a session is set up from them.
#pragma once

#include "net/ftp_client.h"
#include "platform/database.h"

#include <cstdint>
#include <string>

namespace vellumite {

struct SiteFtp {
    std::string location; // ftplocation as typed: host, host:port, [IPv6] or [IPv6]:port
    std::string user;
    std::string password;
    std::string path; // ftppath: "" for the login folder, else "/folder"
    bool passive = false;

    // Server, user name and password are all there (the path may be empty).
    bool complete() const { return !location.empty() && !user.empty() && !password.empty(); }
};

inline constexpr const char* kFtpSettingsIncomplete =
    "Your ftp settings are not complete.  I do not have enough details to upload.";

// Reads the FTP fields of the site row (DbError 3021 when there is no such site).
SiteFtp readSiteFtp(platform::Database& db, std::int32_t logId);

// Sets `client` up for the site: server and port, login, passive transfers when the site asks
// for them, the time-out. Throws std::invalid_argument with the reason when the server cannot
// be read ("host:99999").
void configureClient(CFtpClient& client, const SiteFtp& site, std::int16_t timeoutSeconds = 60);

} // namespace vellumite
