// Reading a site for a generator run: one query per table, whatever the number of pages.
#include "generator/site_data.h"

#include "store/external_body.h"
#include "store/readers.h"

namespace vellumite {

namespace {

// Counts that divide the pages: 0 or less would divide by zero, so they count as 1.
std::int32_t atLeastOne(std::int32_t value) {
    return value < 1 ? 1 : value;
}

std::optional<std::int32_t> optionalInt(const platform::Value& value) {
    if (value.isNull() || (value.text() && value.text()->empty()))
        return std::nullopt;
    return readInt(value);
}

std::string loadTemplate(platform::Database& db, const SiteSettings& site,
                         const platform::Recordset& row) {
    if (site.useDesignerTemplate == 0)
        throw GeneratorError(kNoTemplateMessage, GeneratorError::kNoTemplate);
    if (site.useDesignerTemplate < 0)
        return readText(row["TemplatedHTML"]);
    auto rs = db.openRecordset("SELECT htmltext FROM VellumiteUserTemplate WHERE templateID=?",
                               {site.useDesignerTemplate});
    if (rs.eof())
        throw GeneratorError("The site's template (number " +
                             std::to_string(site.useDesignerTemplate) +
                             ") no longer exists.  Please set a template from the TEMPLATES "
                             "page.");
    return readText(rs["htmltext"]);
}

SiteSettings settingsFromRow(const platform::Recordset& row, std::int32_t logId) {
    SiteSettings s;
    s.logId = logId;
    s.ascending = row["PublishBackwards"].toBool();
    s.postPerPage = atLeastOne(readInt(row["PostPerPage"]));
    s.totalPublishPosts = atLeastOne(readInt(row["TotalPublishPosts"]));
    s.useDesignerTemplate = readInt(row["UseDesignerTemplate"]);
    s.contactEmail = readText(row["contactEmail"]);
    s.contactMeText = readText(row["contactmetext"]);
    s.copyrightNotice = readText(row["copyrightnotice"]);
    s.showDate = row["showDate"].toBool();
    s.pageUrl = readText(row["pageURL"]);
    s.logServerId = optionalInt(row["LogServerID"]);
    s.linkTitle = readText(row["Linktitle"]);
    s.highlightTitle = readText(row["highlighttitle"]);
    s.categoryTitle = readText(row["categorytitle"]);
    s.displayTitle = readText(row["displayTitle"]);
    s.webBarTitle = readText(row["webbartitle"]);
    s.searchTerms = readText(row["logsearchterms"]);
    return s;
}

platform::Recordset openSiteRow(platform::Database& db, std::int32_t logId) {
    auto row = db.openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {logId});
    if (row.eof())
        throw GeneratorError("There is no site number " + std::to_string(logId) + ".");
    return row;
}

} // namespace

SiteSettings loadSiteSettings(platform::Database& db, std::int32_t logId) {
    return settingsFromRow(openSiteRow(db, logId), logId);
}

std::vector<SitePost> loadPublishedPosts(platform::Database& db, std::int32_t logId) {
    // Drafts (PublishPage 0 or Null) never reach a generated page. The key breaks ties between
    // equal stamps so that both orders are exact mirrors of each other.
    auto rs = db.openRecordset(
        "SELECT postID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, "
        "boolDisplayInViewRecent, imagestats, categoryID FROM VellumitePosts "
        "WHERE LogID=? AND PublishPage<>0 ORDER BY postdate DESC, posttime DESC, postID DESC",
        {logId});
    std::vector<SitePost> posts;
    for (; !rs.eof(); rs.moveNext()) {
        SitePost p;
        p.postId = readInt(rs["postID"]);
        p.title = readText(rs["posttitle"]);
        p.byline = readText(rs["postbyline"]);
        p.body = readText(rs["posttext"]);
        p.date = readText(rs["postdate"]);
        p.time = readText(rs["posttime"]);
        p.publishPage = readInt(rs["PublishPage"]);
        p.highlighted = rs["boolDisplayInViewRecent"].toBool();
        p.imageStats = readText(rs["imagestats"]);
        p.categoryId = optionalInt(rs["categoryID"]);
        posts.push_back(std::move(p));
    }
    return posts;
}

SiteData loadSiteData(platform::Database& db, std::int32_t logId,
                      const std::filesystem::path& appFolder) {
    SiteData site;
    {
        auto row = openSiteRow(db, logId);
        site.settings = settingsFromRow(row, logId);
        site.siteTemplate = loadTemplate(db, site.settings, row);
    }
    site.posts = loadPublishedPosts(db, logId);
    for (SitePost& p : site.posts)
        if (isExternalBody(p.body)) {
            try {
                p.body = ReadExternalBody(p.body, p.postId, appFolder, logId);
            } catch (const ExternalBodyError& e) {
                throw GeneratorError(e.what());
            }
        }

    for (auto rs = db.openRecordset("SELECT * FROM VellumiteLinks WHERE LogID=? ORDER BY linkID",
                                    {logId});
         !rs.eof(); rs.moveNext())
        site.links.push_back(
            {readText(rs["linkurl"]), readText(rs["linktext"]), rs["newwindow"].toBool()});
    for (auto rs = db.openRecordset(
             "SELECT * FROM VellumiteCategory WHERE LogID=? ORDER BY categoryID", {logId});
         !rs.eof(); rs.moveNext())
        site.categories.push_back({readInt(rs["categoryID"]), readText(rs["categoryname"])});
    return site;
}

} // namespace vellumite
