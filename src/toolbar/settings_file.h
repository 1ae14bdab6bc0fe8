// The add-on's per-user settings: a small INI file whose section and key names match without
// regard to case, shared by every browser window's host process.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumite::toolbar {

// The sections and keys the band keeps. Older writers used both "userdetails" and
// "UserDetails", which is why names are matched without regard to case.
inline constexpr std::string_view kUserSection = "UserDetails";
inline constexpr std::string_view kServiceSection = "Service";
inline constexpr std::string_view kHighlightsKey = "highlights";
inline constexpr std::string_view kSearchListKey = "searchlist";
inline constexpr std::string_view kUserItemKey = "useritem"; // followed by 1 to 10
inline constexpr std::string_view kLogoutKey = "logout";
inline constexpr std::string_view kServiceUrlKey = "serviceurl";
inline constexpr std::string_view kAlertsUrlKey = "alertsurl";

// The same defaults as the editor's settings: the hosts of the two services.
inline constexpr std::string_view kDefaultServiceUrl = "http://service.vellumite.example";
inline constexpr std::string_view kDefaultAlertsUrl = "http://alerts.vellumite.example";

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path) : m_path(std::move(path)) {}

    // $XDG_CONFIG_HOME/vellumite/vellumitebar.ini, else ~/.config/vellumite/vellumitebar.ini.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return m_path; }

    // The stored value, or `fallback` when the file, the section or the key is missing.
    std::string get(std::string_view section, std::string_view key,
                    std::string_view fallback = "") const;

    // Stores the values in one read-modify-write under a lock, so that two windows writing at
    // once lose nothing; the file is replaced whole and readable by its owner alone.
    void set(std::string_view section,
             const std::vector<std::pair<std::string, std::string>>& values);
    void set(std::string_view section, std::string_view key, std::string_view value) {
        set(section, {{std::string(key), std::string(value)}});
    }

private:
    std::filesystem::path m_path;
};

// The address of `path` (starting with "/") on the service whose scheme and host are `base`.
std::string serviceAddress(std::string_view base, std::string_view path);

// "highlights" holds "off" or anything else, which counts as on.
bool highlightsOn(const SettingsFile& settings);

} // namespace vellumite::toolbar
