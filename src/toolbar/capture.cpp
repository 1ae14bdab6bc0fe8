// Capture storage and the scrapbook page.
#include "toolbar/capture.h"

#include "platform/database.h"
#include "platform/files.h"
#include "platform/text.h"
#include "store/app_folder.h"
#include "store/databases.h"
#include "toolbar/settings_file.h"

#include <algorithm>
#include <charconv>

namespace vellumite::toolbar {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPageHead =
    "<head><style>.bodytext {font-size:12pt;font-family : Verdana;}</style></head>"
    "<body class=bodytext>"
    "<h1>Vellumite Collection</h1> <br><br>";

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return platform::equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// The address as a link when it is one a page may follow safely, else as text.
std::string addressMarkup(std::string_view url) {
    std::string shown = platform::htmlEscape(url);
    bool linkable = startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://") ||
                    startsWithNoCase(url, "file:");
    if (!linkable)
        return shown;
    return "<a href=\"" + shown + "\">" + shown + "</a>";
}

} // namespace

bool takesDrop(const std::vector<std::string>& types) {
    auto has = [&](std::string_view type) {
        return std::find(types.begin(), types.end(), type) != types.end();
    };
    return has("text/plain") && !has("text/uri-list") && !has("Files");
}

void ensureToolbarDatabase(const fs::path& appFolder) {
    std::error_code ec;
    if (!fs::exists(appFolder / kToolbarDatabaseFile, ec))
        prepareAppFolder(appFolder, shippedResources());
}

std::int64_t storeCapture(const fs::path& appFolder, std::string_view text, std::string_view url) {
    ensureToolbarDatabase(appFolder);
    return withToolbarDatabase(appFolder, [&](platform::Database& db) {
        // An empty record set: the new row is all this needs.
        auto rs = db.openRecordset("select * from captureItems where captureID is null");
        rs.addNew();
        rs.setField("capturetext", text);
        rs.setField("captureURL", url);
        const platform::Value id = rs.field("captureID");
        const std::int64_t key = id.integer() ? *id.integer() : 0;
        rs.update();
        rs.close();
        return key;
    });
}

std::vector<Capture> readCaptures(const fs::path& appFolder) {
    ensureToolbarDatabase(appFolder);
    return withToolbarDatabase(appFolder, [](platform::Database& db) {
        std::vector<Capture> captures;
        auto rs = db.openRecordset("select * from captureItems order by captureID");
        for (; !rs.eof(); rs.moveNext()) {
            const platform::Value id = rs.field("captureID");
            captures.push_back({id.integer() ? *id.integer() : 0, rs.field("capturetext").toText(),
                                rs.field("captureURL").toText()});
        }
        rs.close();
        return captures;
    });
}

void deleteCapture(const fs::path& appFolder, std::int64_t id) {
    withToolbarDatabase(appFolder, [&](platform::Database& db) {
        db.execute("delete from captureItems where captureId=?", {static_cast<long long>(id)});
    });
}

void clearCaptures(const fs::path& appFolder) {
    withToolbarDatabase(appFolder,
                        [](platform::Database& db) { db.execute("delete from captureItems"); });
}

std::string scrapbookPage(const std::vector<Capture>& captures, std::string_view serviceUrl) {
    std::string page(kPageHead);
    page += "<iframe src=\"" +
            platform::htmlEscape(serviceAddress(serviceUrl, "/toolbarnews.html")) +
            "\"></iframe><br>";
    for (const auto& capture : captures) {
        page += addressMarkup(capture.url) + " <a href=delete," + std::to_string(capture.id) +
                ">[Delete]</a><br><blockquote>" + platform::htmlEscape(capture.text) +
                "</blockquote><br>";
    }
    page += "<br><Br><a href=clear>[Clear all]</a><br><a href=save>[Save this page]</a></body>";
    return page;
}

std::string scrapbookCopy(const std::vector<Capture>& captures) {
    std::string page(kPageHead);
    for (const auto& capture : captures)
        page += addressMarkup(capture.url) + "<br><blockquote>" +
                platform::htmlEscape(capture.text) + "</blockquote><br>";
    page += "</body>";
    return page;
}

std::string buildScrapbook(const fs::path& appFolder, std::string_view serviceUrl) {
    std::string page = scrapbookPage(readCaptures(appFolder), serviceUrl);
    platform::files::writeFileAtomic(appFolder / kScrapbookFile, page,
                                     fs::perms::owner_read | fs::perms::owner_write);
    return page;
}

ScrapbookCommand scrapbookCommand(std::string_view current, std::string_view target) {
    if (current.find(kScrapbookFile) == std::string_view::npos)
        return {};
    // The command links are relative: they resolve beside the page itself.
    std::size_t slash = current.rfind('/');
    std::string_view folder = current.substr(0, slash + 1);
    if (!target.starts_with(folder))
        return {};
    std::string_view name = target.substr(folder.size());
    if (name == "clear")
        return {ScrapbookCommand::Clear};
    if (name == "save")
        return {ScrapbookCommand::Save};
    if (name.starts_with("delete,")) {
        std::string_view digits = name.substr(7);
        std::int64_t id = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
        if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty() && id > 0)
            return {ScrapbookCommand::Delete, id};
    }
    return {};
}

} // namespace vellumite::toolbar
