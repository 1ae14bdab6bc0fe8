// The registration, the highlights export and the site-setup address.
#include "publish/web_service.h"

#include "platform/files.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace vellumite {

namespace {

// Numbers of a stored date or time ("2026-11-02", "09:15:00"); nothing when a piece is not one.
std::optional<std::vector<int>> numbersOf(std::string_view text, char separator) {
    std::vector<int> numbers;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        int value = 0;
        const auto piece = text.substr(start, end - start);
        const auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (piece.empty() || ec != std::errc() || ptr != piece.data() + piece.size())
            return std::nullopt;
        numbers.push_back(value);
        if (end == text.size())
            return numbers;
        start = end + 1;
    }
}

// postdate and posttime joined as "yyyy-mm-dd hh:mm:ss"; a value that cannot be read is
// written as stored.
std::string stampText(const std::string& date, const std::string& time) {
    const auto d = numbersOf(date, '-');
    const auto t = numbersOf(time, ':');
    if (!d || d->size() != 3 || !t || t->size() < 2 || t->size() > 3)
        return date + " " + time;
    char out[32];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", (*d)[0], (*d)[1], (*d)[2],
                  (*t)[0], (*t)[1], t->size() == 3 ? (*t)[2] : 0);
    return out;
}

void line(std::string& out, std::string_view text) {
    out += text;
    out += "\r\n";
}

void element(std::string& out, std::string_view tag, std::string_view value) {
    out += '<';
    out += tag;
    out += '>';
    out += value;
    out += "</";
    out += tag;
    out += ">\r\n";
}

} // namespace

std::string siteNameForService(std::string_view displayTitle) {
    std::string name = platform::replacedAll(displayTitle, " ", "%20");
    platform::replaceAll(name, "&", "%26");
    return name;
}

std::int32_t registeredServerId(const platform::Value& logServerId) {
    // The integer reader would give 3 for Null: a site never registered would then speak for
    // site 3 of the service.
    if (logServerId.isNull() || logServerId.toText().empty())
        return 0;
    return readInt(logServerId);
}

std::string registrationPath(std::string_view pageUrl, std::int32_t serverId,
                             std::string_view siteName) {
    std::string path = "/record_upload.php?url=" + std::string(pageUrl);
    if (serverId != 0)
        path += "&ID=" + std::to_string(serverId);
    return path + "&logname=" + std::string(siteName);
}

std::optional<std::int32_t> serverIdFromAnswer(std::string_view answer) {
    std::string text;
    for (char c : answer)
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
            text += c;
    // "Publish recorded" has lost its space by now: like every answer that is not a number,
    // it changes nothing (read as a number it would have been 0, and the identifier lost).
    std::int32_t id = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || ptr != text.data() + text.size() || id <= 0)
        return std::nullopt;
    return id;
}

void storeServerId(platform::Database& db, std::int32_t logId, std::int32_t serverId) {
    db.execute("UPDATE VellumiteLog SET LogServerID=? WHERE LogID=?", {serverId, logId});
}

std::string siteSetupPath(std::string_view storedServerId, std::string_view siteName) {
    return "/siteSetup.php?logserverid=" + std::string(storedServerId) +
           "&sitename=" + std::string(siteName);
}

std::string highlightsXml(platform::Database& db, std::int32_t logId) {
    auto site = openSiteRow(db, logId, "PublishBackwards, TotalPublishPosts, LogServerID, pageURL");
    const std::string order = site["PublishBackwards"].toBool() ? "ASC" : "DESC";
    const std::int32_t total = readInt(site["TotalPublishPosts"]);
    const std::string id = std::to_string(registeredServerId(site["LogServerID"]));
    const std::string url = readText(site["pageURL"]);
    auto posts = db.openRecordset(
        "SELECT postID, posttitle, postbyline, posttext, postdate, posttime, "
        "boolDisplayInViewRecent FROM VellumitePosts WHERE LogID=? AND publishpage<>0 "
        "ORDER BY postdate " +
            order + ", posttime " + order + ", postID " + order,
        {logId});

    std::string out;
    line(out, "<?xml version=\"1.0\"?>");
    line(out, "<!DOCTYPE userdata SYSTEM \"vellumite-highlight.dtd\">");
    line(out, "<LogHighlights>");
    for (std::int32_t i = 1; i <= total && !posts.eof(); ++i, posts.moveNext()) {
        if (!posts["boolDisplayInViewRecent"].toBool())
            continue;
        const std::string date = readText(posts["postdate"]);
        const std::string time = readText(posts["posttime"]);
        line(out, "<Highlight>");
        element(out, "LogID", id);
        element(out, "postid", readText(posts["postID"]));
        element(out, "Title", platform::stripTags(readText(posts["posttitle"])));
        element(out, "ByLine", platform::stripTags(readText(posts["postbyline"])));
        element(out, "body", platform::stripTags(readText(posts["posttext"])));
        element(out, "linkurl", url);
        element(out, "postdate", stampText(date, time));
        element(out, "posttime", time);
        line(out, "</Highlight>");
    }
    line(out, "</LogHighlights>");
    return out;
}

std::filesystem::path writeHighlightsXml(platform::Database& db, std::int32_t logId,
                                         const std::filesystem::path& outputFolder) {
    const std::filesystem::path file = outputFolder / kHighlightsFile;
    std::filesystem::create_directories(outputFolder);
    platform::files::writeFileAtomic(file, highlightsXml(db, logId));
    return file;
}

} // namespace vellumite
