// A site in a real SQLite file, built up row by row for the generator's tests.
#pragma once

#include "generator/site_generator.h"
#include "platform/files.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <string>

namespace generator_tests {

// A template that shows every tag, one per line, so tests can find what each became.
inline const std::string kProbeTemplate =
    "<html><$VellumiteLogTitle$>|<$VellumiteSearchTerms$>|<$copyright$>\n"
    "<VellumitePostBlock>[<$VellumitePostID$>:<$VellumitePostTitle$>:<$VellumiteImage$>]"
    "</VellumitePostBlock>\n"
    "mid=<$midblocks$>\nstart=<$Startblock$>\nend=<$Endblock$>\nnext=<$NextSet$>\n"
    "prev=<$PrevSet$>\nmode=<$DisplayMode$>\n"
    "<UserLinkList>{<$LinkText$>}</UserLinkList>\n"
    "<UserHighlightList>{<$HighlightText$>}</UserHighlightList>\n"
    "<UserCategoryList>{<$Category$>}</UserCategoryList>\n"
    "gw=<$GlintwatchPageTitle$>\n</html>";

class SiteFixture {
public:
    SiteFixture() : db(testing_support::makeSiteDatabase(dir / "vellumite.db")) {}

    // A site whose user template is `html`. Returns its LogID.
    std::int32_t addSite(const std::string& html = kProbeTemplate, int perPage = 10, int total = 15,
                         bool ascending = false) {
        db.execute("INSERT INTO VellumiteUserTemplate (templatename, htmltext) VALUES (?, ?)",
                   {"t" + std::to_string(++m_templates), html});
        auto templateId = db.scalar("SELECT max(templateID) FROM VellumiteUserTemplate");
        db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle, postperpage, "
                   "TotalPublishPosts, PublishBackwards, UseDesignerTemplate, LogServerID, "
                   "pageurl) VALUES ('Site', 'Site', 'Bar', ?, ?, ?, ?, 5, 'http://x.org')",
                   {perPage, total, ascending, templateId});
        return static_cast<std::int32_t>(
            *db.scalar("SELECT max(LogID) FROM VellumiteLog").integer());
    }

    // A published post on `date` (newer dates sort first). Returns its postID.
    std::int32_t addPost(std::int32_t logId, const std::string& title, const std::string& date,
                         const std::string& time = "12:00:00", platform::Value categoryId = {}) {
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage, categoryID) VALUES (?, ?, 'by', 'body', ?, ?, 1, ?)",
                   {logId, title, date, time, categoryId});
        return static_cast<std::int32_t>(
            *db.scalar("SELECT max(postID) FROM VellumitePosts").integer());
    }

    // `count` posts titled p1 (newest) ... pN (oldest), one a day back from 2024-12-31.
    void addPosts(std::int32_t logId, int count, platform::Value categoryId = {}) {
        for (int i = 1; i <= count; ++i) {
            auto date = db.scalar("SELECT date('2025-01-01', ?)", {std::to_string(-i) + " days"});
            addPost(logId, "p" + std::to_string(i), date.toText(), "12:00:00", categoryId);
        }
    }

    std::int32_t addCategory(std::int32_t logId, const std::string& name) {
        db.execute("INSERT INTO VellumiteCategory (LogID, categoryname) VALUES (?, ?)",
                   {logId, name});
        return static_cast<std::int32_t>(
            *db.scalar("SELECT max(categoryID) FROM VellumiteCategory").integer());
    }

    void set(std::int32_t logId, const std::string& field, platform::Value value) {
        db.execute("UPDATE VellumiteLog SET " + field + "=? WHERE LogID=?", {value, logId});
    }

    vellumite::GeneratorOptions options() const {
        vellumite::GeneratorOptions o;
        o.appFolder = dir.path();
        o.currentYear = 2025;
        return o;
    }

    std::string page(const std::string& name) const {
        return platform::files::readFile(dir / "html/output" / name);
    }
    bool exists(const std::string& name) const {
        return std::filesystem::exists(dir / "html/output" / name);
    }

    testing_support::TempDir dir;
    platform::Database db;

private:
    int m_templates = 0;
};

// The text of the line of `page` that starts with `prefix`, without the prefix.
inline std::string lineAfter(const std::string& page, const std::string& prefix) {
    std::size_t at = page.find("\n" + prefix);
    if (at == std::string::npos)
        return "<missing " + prefix + ">";
    at += prefix.size() + 1;
    return page.substr(at, page.find('\n', at) - at);
}

inline std::vector<std::string> namesOf(const vellumite::GeneratedFiles& files) {
    std::vector<std::string> names;
    for (const auto& f : files)
        names.push_back(f.name);
    return names;
}

// The post titles of the page's blocks, in order, as "p1 p2 ...".
inline std::string titlesOn(const std::string& page) {
    std::string titles;
    for (std::size_t at = page.find('['); at != std::string::npos; at = page.find('[', at + 1)) {
        std::size_t colon = page.find(':', at);
        std::size_t end = page.find(':', colon + 1);
        if (!titles.empty())
            titles += ' ';
        titles += page.substr(colon + 1, end - colon - 1);
    }
    return titles;
}

} // namespace generator_tests
