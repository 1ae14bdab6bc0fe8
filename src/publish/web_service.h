// What a publish run exchanges with the web service: the registration, the highlights export,
// and the site-setup address.
#pragma once

#include "platform/database.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kHighlightsFile = "highlights.xml";
inline constexpr std::string_view kHighlightsPostPath = "/highlight_xml_to_db.php";
inline constexpr std::string_view kHighlightsField = "userfile";

// The site's display title as the service's query values take it: every " " as "%20", then
// every "&" as "%26". Nothing else is escaped: the service reads the name this way.
std::string siteNameForService(std::string_view displayTitle);

// The site's identifier at the service as the exchanges read LogServerID: its integer part,
// 0 for a site never registered (Null or empty).
std::int32_t registeredServerId(const platform::Value& logServerId);

// "/record_upload.php?url=<pageurl>[&ID=<id>]&logname=<site name>"; the ID only when the site
// has one (not 0).
std::string registrationPath(std::string_view pageUrl, std::int32_t serverId,
                             std::string_view siteName);

// The service's answer to a registration, without its line feeds, carriage returns, spaces and
// tabs: the site's new identifier, or nothing for "Publish recorded", an empty answer, and an
// answer that is not a positive whole number (an error page must not replace the identifier).
std::optional<std::int32_t> serverIdFromAnswer(std::string_view answer);

// Stores a site's new identifier in LogServerID.
void storeServerId(platform::Database& db, std::int32_t logId, std::int32_t serverId);

// "/siteSetup.php?logserverid=<LogServerID as stored>&sitename=<site name>".
std::string siteSetupPath(std::string_view storedServerId, std::string_view siteName);

// The highlights export of a site: its published posts in the site's order, the highlighted
// ones among the first TotalPublishPosts, with their tags stripped and nothing escaped (the
// service reads the file as it is). Lines end in CR LF.
std::string highlightsXml(platform::Database& db, std::int32_t logId);

// Writes the export whole as highlights.xml in `outputFolder` and returns its path.
std::filesystem::path writeHighlightsXml(platform::Database& db, std::int32_t logId,
                                         const std::filesystem::path& outputFolder);

} // namespace vellumite
