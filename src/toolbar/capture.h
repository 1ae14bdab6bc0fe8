// Captured text: stored with its page's address in the toolbar database, and shown as the
// scrapbook page with its delete, clear and save commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

inline constexpr const char* kScrapbookFile = "scrapbook.html";

struct Capture {
    std::int64_t id = 0;
    std::string text;
    std::string url;
};

// Only plain text is taken from a drop: a dragged link, image or file offers other formats
// (a link offers its address as text too, beside "text/uri-list"), and is ignored.
bool takesDrop(const std::vector<std::string>& types);

// Creates the app folder with its databases when the toolbar database is missing there, as the
// editor does on its first start. Throws vellumite::AppFolderError.
void ensureToolbarDatabase(const std::filesystem::path& appFolder);

// Adds the capture and returns its key. The database is opened for this one operation.
// Throws platform::DbError or vellumite::AppFolderError.
std::int64_t storeCapture(const std::filesystem::path& appFolder, std::string_view text,
                          std::string_view url);
std::vector<Capture> readCaptures(const std::filesystem::path& appFolder);
void deleteCapture(const std::filesystem::path& appFolder, std::int64_t id);
void clearCaptures(const std::filesystem::path& appFolder);

// The scrapbook page: the news frame of the web service, then each capture with its address,
// a delete link and its text, then the clear and save links. Text and addresses are escaped,
// and an address is a link only for the http, https and file schemes.
std::string scrapbookPage(const std::vector<Capture>& captures, std::string_view serviceUrl);
// The saved copy: the same list without the news frame and without the command links.
std::string scrapbookCopy(const std::vector<Capture>& captures);

// Writes the scrapbook page into the app folder and returns it.
std::string buildScrapbook(const std::filesystem::path& appFolder, std::string_view serviceUrl);

struct ScrapbookCommand {
    enum Kind { None, Delete, Clear, Save } kind = None;
    std::int64_t id = 0; // the capture to delete
    bool operator==(const ScrapbookCommand&) const = default;
};

// The command a link of the scrapbook page asks for: `target` is the address followed from
// `current`. Only the page's own command links ("delete,N", "clear", "save" beside the page)
// count: a captured address that merely contains one of these words is followed as it is.
ScrapbookCommand scrapbookCommand(std::string_view current, std::string_view target);

} // namespace vellumite::toolbar
