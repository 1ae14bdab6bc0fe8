#include "store/databases.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using platform::Value;
using testing_support::TempDir;
using namespace vellumite;

TEST(Readers, TextReaderGivesEmptyForNull) {
    EXPECT_EQ(readText(Value()), "");
    EXPECT_EQ(readText(Value("secret")), "secret");
    EXPECT_EQ(readText(Value(7)), "7");
}

TEST(Readers, IntegerReaderGivesThreeForNullAndEmptyAndKeepsBigKeys) {
    struct Case {
        Value in;
        std::int32_t out;
    } cases[] = {
        {Value(), 3},
        {Value(""), 3},
        {Value(0), 0},
        {Value(10), 10},
        {Value(7.9), 7},
        {Value(-7.9), -7},
        {Value("12"), 12},
        {Value("12abc"), 12},
        {Value(true), -1},
        {Value(40000), 40000}, // past 16 bits: keys must not wrap onto another row
        {Value(1e12), 2147483647},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readInt(c.in), c.out) << c.in.toText();
}

TEST(SiteStore, NullPasswordAndTemplateReadThroughTheReaders) {
    TempDir dir;
    auto db = testing_support::makeSiteDatabase(dir / "v.db");
    db.execute("INSERT INTO VellumiteLog (LogTitle) VALUES ('Bare')");
    auto rs = db.openRecordset("SELECT * FROM Vellumitelog WHERE logtitle=?", {"bare"});
    ASSERT_FALSE(rs.eof()); // titles compare without regard to case
    EXPECT_TRUE(rs["password"].isNull());
    EXPECT_EQ(readText(rs["password"]), "");
    EXPECT_EQ(readInt(rs["UseDesignerTemplate"]), 3);
}

TEST(SiteStore, DeletingASiteLeavesItsCategoriesImagesAndResources) {
    TempDir dir;
    auto db = testing_support::makeSiteDatabase(dir / "v.db");
    for (int site : {1, 2}) {
        db.execute("INSERT INTO VellumiteLog (LogID, LogTitle) VALUES (?, ?)",
                   {site, "site " + std::to_string(site)});
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle) VALUES (?, 'p')", {site});
        db.execute("INSERT INTO VellumiteLinks (LogID, linktext) VALUES (?, 'l')", {site});
        db.execute("INSERT INTO VellumiteCategory (LogID, categoryname) VALUES (?, 'c')", {site});
        db.execute("INSERT INTO VellumiteImages (LogID, imagepath) VALUES (?, 'i.png')", {site});
        db.execute("INSERT INTO vellumitenewsfeeds (LogID, title) VALUES (?, 'n')", {site});
    }
    deleteSiteRows(db, 1);
    auto count = [&](const char* table, int site) {
        return db.scalar(std::string("SELECT count(*) FROM ") + table + " WHERE LogID=?", {site})
            .toText();
    };
    for (const char* gone : {"VellumiteLog", "VellumitePosts", "VellumiteLinks"}) {
        EXPECT_EQ(count(gone, 1), "0") << gone;
        EXPECT_EQ(count(gone, 2), "1") << gone;
    }
    for (const char* kept : {"VellumiteCategory", "VellumiteImages", "vellumitenewsfeeds"})
        EXPECT_EQ(count(kept, 1), "1") << kept;
}

TEST(SiteStore, SchemaDeclaresEveryFieldTheScreensUse) {
    TempDir dir;
    auto db = testing_support::makeSiteDatabase(dir / "v.db");
    // Spellings the screens use, in their own cases; each must resolve to one field.
    const std::pair<const char*, std::vector<const char*>> tables[] = {
        {"VellumiteLog",
         {"LogID",
          "logId",
          "LogTitle",
          "displayTitle",
          "webBarTitle",
          "password",
          "ftpusername",
          "ftppassword",
          "ftplocation",
          "ftppath",
          "ftppassive",
          "pageurl",
          "pageURL",
          "recentpostnum",
          "CopyrightNotice",
          "postperpage",
          "PostPerPage",
          "TotalPublishPosts",
          "PublishBackwards",
          "contactemail",
          "contactmetext",
          "categorytitle",
          "highlightTitle",
          "LinkTitle",
          "logsearchterms",
          "showDate",
          "advertiseHighlights",
          "LogServerID",
          "UseDesignerTemplate",
          "TemplatedHTML",
          "Templatedhtml",
          "numberthispage",
          "PublishedPages",
          "Publishandupload",
          "linkslist",
          "Resourceusername",
          "Resourcepassword",
          "rememberdetails",
          "lastnewsimport"}},
        {"VellumitePosts",
         {"postID", "LogID", "posttitle", "postbyline", "posttext", "postdate", "posttime",
          "PublishPage", "publishpage", "boolDisplayInViewRecent", "imagestats", "Category",
          "categoryID"}},
        {"VellumiteLinks", {"linkID", "LogID", "linktext", "linkurl", "newwindow"}},
        {"VellumiteCategory", {"categoryID", "LogID", "categoryname", "CategoryName"}},
        {"VellumiteUserTemplate",
         {"templateID", "templatename", "htmltext", "cssText", "bIsDesigner"}},
        {"VellumiteImages", {"LogID", "imagepath", "imageheight", "imagewidth", "imagealttext"}},
        {"vellumitenewsfeeds",
         {"alertid", "LogID", "title", "Title", "body", "url", "URL", "site_name", "site_url"}},
    };
    for (const auto& [table, fields] : tables) {
        auto rs = db.openRecordset(std::string("SELECT * FROM ") + table);
        for (const char* f : fields)
            EXPECT_TRUE(rs.hasField(f)) << table << "." << f;
    }
    auto toolbar = testing_support::makeToolbarDatabase(dir / "t.db");
    auto rs = toolbar.openRecordset("select * from captureItems");
    for (const char* f : {"captureID", "capturetext", "captureURL"})
        EXPECT_TRUE(rs.hasField(f)) << f;
}

TEST(SiteStore, SampleSiteShipsWithPostsDraftLinksCategoriesAndTemplate) {
    TempDir dir;
    auto db = testing_support::makeSiteDatabase(dir / "v.db", true);
    auto site =
        db.openRecordset("Select * from VellumiteLog where logTitle=?", {"Welcome to Vellumite"});
    site.moveLast();
    ASSERT_EQ(site.recordCount(), 1);
    Value id = site["LogID"];
    auto n = [&](const char* sql) { return readInt(db.scalar(sql, {id})); };
    EXPECT_GE(n("SELECT count(*) FROM VellumitePosts WHERE LogID=? AND PublishPage>0"), 3);
    EXPECT_EQ(n("SELECT count(*) FROM VellumitePosts WHERE LogID=? AND PublishPage=0"), 1);
    EXPECT_EQ(n("SELECT count(*) FROM VellumiteLinks WHERE LogID=?"), 2);
    EXPECT_EQ(n("SELECT count(*) FROM VellumiteCategory WHERE LogID=?"), 2);
    std::int32_t templ = readInt(site["UseDesignerTemplate"]);
    auto t = db.openRecordset("SELECT * FROM VellumiteUserTemplate WHERE templateID=?", {templ});
    ASSERT_FALSE(t.eof());
    std::string html = readText(t["htmltext"]);
    EXPECT_NE(html.find("<VellumitePostBlock>"), std::string::npos);
    EXPECT_NE(html.find("</VellumitePostBlock>"), std::string::npos);
    // Dates are stored so that they sort as text.
    auto posts = db.openRecordset(
        "SELECT * FROM VellumitePosts WHERE LogID=? ORDER BY postdate DESC, posttime DESC", {id});
    for (; !posts.eof(); posts.moveNext()) {
        std::string d = readText(posts["postdate"]), t2 = readText(posts["posttime"]);
        EXPECT_EQ(d.size(), 10u) << d;
        EXPECT_EQ(d[4], '-');
        EXPECT_EQ(t2.size(), 8u) << t2;
        EXPECT_EQ(t2[2], ':');
    }
}

TEST(SiteStore, OpeningReportsTheErrorAndLetsStartUpGoOn) {
    TempDir dir;
    std::vector<std::string> reports;
    auto db = openSiteDatabase(dir.path(), [&](const std::string& r) { reports.push_back(r); });
    EXPECT_FALSE(db);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("error [3024:Could not find file '", 0), 0u) << reports[0];
    EXPECT_EQ(reports[0].back(), ']');
}
