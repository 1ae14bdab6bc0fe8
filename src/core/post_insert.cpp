// Link and image tags for the post box, and the image history.
#include "core/post_insert.h"

#include "core/panes.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

namespace {

bool containsNoCase(std::string_view text, std::string_view what) {
    return platform::asciiLower(text).find(what) != std::string::npos;
}

// `path` beneath `site`, with one "/" between them.
std::string beneath(std::string_view site, std::string_view path) {
    const bool siteSlash = !site.empty() && site.back() == '/';
    const bool pathSlash = !path.empty() && path.front() == '/';
    if (siteSlash && pathSlash)
        path.remove_prefix(1);
    return std::string(site) + (siteSlash || pathSlash ? "" : "/") + std::string(path);
}

// A value put between double quotes in a tag keeps the tag whole.
std::string quotedValue(std::string_view text) {
    return platform::replacedAll(text, "\"", "&quot;");
}

std::string siteAddress(AppState& app) {
    return readText(openSiteRow(app.db(), app.logId, "pageurl")["pageurl"]);
}

} // namespace

bool isWebAddress(std::string_view text) {
    return containsNoCase(text, "http://") || containsNoCase(text, "https://");
}

platform::Document postDocument(AppState& app) {
    return app.host.pane(pane::Content).document();
}

std::string linkAddress(std::string_view siteAddress, std::string_view address) {
    if (address.find("://") != std::string_view::npos || containsNoCase(address, "mailto:"))
        return std::string(address);
    return beneath(siteAddress, address);
}

std::string linkTag(std::string_view address, std::string_view attributes, std::string_view text) {
    return "<a href=\"" + std::string(address) + "\" " + std::string(attributes) + ">" +
           std::string(text) + "</a>";
}

bool subInsertLink(AppState& app, std::string_view address, std::string_view attributes) {
    platform::Document doc = postDocument(app);
    const platform::FieldSelection selected = doc.fieldSelection(std::string(kPostForm), kPostBox);
    if (selected.text.empty())
        return false;
    doc.replaceFieldRange(
        std::string(kPostForm), kPostBox, selected,
        linkTag(linkAddress(siteAddress(app), address), attributes, selected.text));
    return true;
}

ImageAddress imageAddress(std::string_view siteAddress, std::string_view path) {
    if (isWebAddress(path))
        return {std::string(path), std::string(path)};
    std::string relative =
        path.empty() || path.front() != '/' ? "/" + std::string(path) : std::string(path);
    return {beneath(siteAddress, relative), relative};
}

std::string imageHistoryPath(const ImageAddress& image) {
    if (isWebAddress(image.absolute))
        return image.siteRelative;
    const std::size_t slash = image.siteRelative.rfind('/');
    return slash == std::string::npos ? image.siteRelative : image.siteRelative.substr(slash + 1);
}

std::string imageTag(std::string_view address, std::string_view height, std::string_view width,
                     bool popup, std::string_view alt) {
    const std::string src = quotedValue(address);
    const std::string text = quotedValue(alt);
    if (!popup)
        return "<img src=\"" + src + "\" height=" + std::string(height) +
               " width=" + std::string(width) + " alt=\"" + text + "\">";
    return "<a href=\"javascript:popupimage('" + src + "'," + std::string(width) + "," +
           std::string(height) + ")\"><img src=\"" + src + "\" height=40 width=40 alt=\"" + text +
           "\"></a>";
}

void subInsertImage(AppState& app, int savedSelection, std::string_view path,
                    std::string_view height, std::string_view width, bool popup,
                    std::string_view alt) {
    const ImageAddress image = imageAddress(siteAddress(app), path);
    platform::Document doc = postDocument(app);
    doc.replaceSavedSelection(savedSelection, imageTag(image.absolute, height, width, popup, alt));
    recordImageUse(app.db(), app.logId, imageHistoryPath(image), height, width, alt);
    if (platform::Form* dialog = app.host.findForm("frmImage"))
        dialog->hide();
    doc.focus(kPostBox);
}

void recordImageUse(platform::Database& db, std::int32_t logId, std::string_view path,
                    std::string_view height, std::string_view width, std::string_view alt) {
    // Sizes are bound as typed: the column stores a number as a number, and the comparison
    // reads typed digits as the number they are.
    db.execute("DELETE FROM VellumiteImages WHERE LogID=? AND imagepath=? AND imageheight=? "
               "AND imagewidth=?",
               {logId, path, height, width});
    db.execute("INSERT INTO VellumiteImages (LogID, imagepath, imageheight, imagewidth, "
               "imagealttext) VALUES (?, ?, ?, ?, ?)",
               {logId, path, height, width, alt});
}

std::vector<std::string> imageHistory(platform::Database& db, std::int32_t logId) {
    auto rows = db.openRecordset("SELECT imagepath, imageheight, imagewidth, imagealttext FROM "
                                 "VellumiteImages WHERE LogID=? ORDER BY rowid",
                                 {logId});
    std::vector<std::string> entries;
    for (; !rows.eof(); rows.moveNext())
        entries.push_back(
            readText(rows["imagepath"]) + "," + std::to_string(readInt(rows["imageheight"])) + "," +
            std::to_string(readInt(rows["imagewidth"])) + "," + readText(rows["imagealttext"]));
    return entries;
}

} // namespace vellumite
