// Telling the browsers where the host is: its manifest in each browser's per-user folder of
// native-messaging hosts, naming the one extension allowed to start it.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

inline constexpr std::string_view kHostName = "com.vellumite.vellumitebar";
// Fixed by the public key in the extension's manifest.
inline constexpr std::string_view kChromiumExtensionId = "jbkegkfedcgnlnjbghbpeggbkckobkda";
inline constexpr std::string_view kFirefoxExtensionId = "vellumitebar@vellumite.example";

struct ManifestPlace {
    std::string browser; // "Chromium", "Google Chrome", "Firefox"
    std::filesystem::path file;
    bool firefox = false;
};

// The manifest files of the chosen browsers (Chromium and Google Chrome go together) under
// $XDG_CONFIG_HOME (default ~/.config) and ~/.mozilla.
std::vector<ManifestPlace> manifestPlaces(bool chromium, bool firefox);

nlohmann::json hostManifest(const std::filesystem::path& hostProgram, bool firefox);

// Writes each manifest (creating its folder) and returns the files written.
std::vector<std::filesystem::path> installHost(const std::filesystem::path& hostProgram,
                                               bool chromium, bool firefox);
// Removes the manifests that are there and returns the files removed.
std::vector<std::filesystem::path> uninstallHost();

} // namespace vellumite::toolbar
