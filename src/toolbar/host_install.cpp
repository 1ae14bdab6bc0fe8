// Installing the host's manifests.
#include "toolbar/host_install.h"

#include "platform/files.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace vellumite::toolbar {

namespace fs = std::filesystem;

namespace {

fs::path home() {
    const char* home = std::getenv("HOME");
    if (!home || *home != '/')
        throw std::runtime_error("cannot find the home folder: HOME is not set");
    return home;
}

fs::path configHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return xdg;
    return home() / ".config";
}

} // namespace

std::vector<ManifestPlace> manifestPlaces(bool chromium, bool firefox) {
    std::string file = std::string(kHostName) + ".json";
    std::vector<ManifestPlace> places;
    if (chromium) {
        places.push_back({"Chromium", configHome() / "chromium/NativeMessagingHosts" / file});
        places.push_back(
            {"Google Chrome", configHome() / "google-chrome/NativeMessagingHosts" / file});
    }
    if (firefox)
        places.push_back({"Firefox", home() / ".mozilla/native-messaging-hosts" / file, true});
    return places;
}

nlohmann::json hostManifest(const fs::path& hostProgram, bool firefox) {
    nlohmann::json manifest = {
        {"name", kHostName},
        {"description", "Vellumite toolbar: search-term highlighting and text capture"},
        {"path", hostProgram.string()},
        {"type", "stdio"},
    };
    if (firefox)
        manifest["allowed_extensions"] = {kFirefoxExtensionId};
    else
        manifest["allowed_origins"] = {"chrome-extension://" + std::string(kChromiumExtensionId) +
                                       "/"};
    return manifest;
}

std::vector<fs::path> installHost(const fs::path& hostProgram, bool chromium, bool firefox) {
    std::vector<fs::path> written;
    for (const auto& place : manifestPlaces(chromium, firefox)) {
        std::error_code ec;
        fs::create_directories(place.file.parent_path(), ec);
        if (ec)
            throw std::system_error(ec, "cannot create " + place.file.parent_path().string());
        platform::files::writeFileAtomic(place.file,
                                         hostManifest(hostProgram, place.firefox).dump(2) + "\n");
        written.push_back(place.file);
    }
    return written;
}

std::vector<fs::path> uninstallHost() {
    std::vector<fs::path> removed;
    for (const auto& place : manifestPlaces(true, true)) {
        std::error_code ec;
        if (fs::remove(place.file, ec))
            removed.push_back(place.file);
        else if (ec)
            throw std::system_error(ec, "cannot remove " + place.file.string());
    }
    return removed;
}

} // namespace vellumite::toolbar
