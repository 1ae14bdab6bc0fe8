// The editor's process state: database connection, open site, post-list page, host and settings.
#pragma once

#include "platform/database.h"
#include "platform/event_loop.h"
#include "platform/host.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vellumite {

// Settings that come from the command line (the program reads no configuration file).
struct Settings {
    std::string serviceUrl = "http://service.vellumite.example"; // scheme and host
    std::string alertsUrl = "http://alerts.vellumite.example";   // news-alert service
    std::optional<bool> online; // --online / --offline; else the system's word
    // --word-processor: the program (and its arguments) a post's document is opened with;
    // empty: LibreOffice Writer where it is installed, else the desktop's choice (xdg-open).
    std::string wordProcessor;

    // The online check: the command line's word if given, else the system's.
    bool isOnline() const;
    // The web service's address for a path ("/record_upload.php?...").
    std::string serviceAddress(std::string_view path) const;
};

// The state the shell holds for the whole process. One instance, made at start-up and passed
// by reference to every handler (there is no global).
class AppState {
public:
    AppState(platform::EventLoop& loop, platform::Host& host, std::filesystem::path appFolder,
             Settings settings);
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    platform::EventLoop& loop;
    platform::Host& host;
    const std::filesystem::path appFolder;
    Settings settings;

    // The one connection to the site database; empty when it could not be opened, and then
    // every operation that needs it fails with the database's own error (see db()).
    std::optional<platform::Database> database;

    // The open site: 0 at start, its LogID while open, -1 after closing. Keys are 32-bit.
    std::int32_t logId = 0;
    std::string displayTitle;
    // The editor's post-list page number (set to 1 at start-up; page commands move it).
    std::int32_t postListPage = 1;
    // The number of the current-posts set last built (1 when the program starts).
    std::int32_t currentSet = 1;
    // Addresses offered to the link dialog before it was first made; it lists them when made.
    std::vector<std::string> linkAddressesWaiting;

    // The database, or DbError 3420 ("Object invalid or no longer set.") when there is none.
    platform::Database& db();

    // The online check: the command line's word if given, else the system's.
    bool isOnline() const;

    // App folder paths: html/<name>, and any name beneath the app folder.
    std::filesystem::path htmlFile(std::string_view name) const;
    std::filesystem::path appFile(std::string_view relative) const;

    // Web-service and news-alert addresses for a path ("/help/helpcontentspecific.html").
    std::string serviceAddress(std::string_view path) const;
    std::string alertsAddress(std::string_view path) const;

    // Ends the process at once ("<$quit$>"): nothing is unloaded and nothing is saved, as
    // every change was stored when it was made. Tests replace it.
    std::function<void()> quitNow;
};

} // namespace vellumite
