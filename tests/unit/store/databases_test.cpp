#include "store/databases.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using platform::Value;
using testing_support::TempDir;
using namespace vellumite;

TEST(SiteStore, DeletingASiteLeavesItsCategoriesImagesAndResources) {
    TempDir dir;
    auto db = testing_support::makeSiteDatabase(dir / "v.db");
    const std::pair<const char*, bool> tables[] = {
        {"VellumiteLog", false},     {"VellumitePosts", false}, {"VellumiteLinks", false},
        {"VellumiteCategory", true}, {"VellumiteImages", true}, {"vellumitenewsfeeds", true},
    };
    for (int site : {1, 2})
        for (const auto& [table, kept] : tables)
            db.execute(std::string("INSERT INTO ") + table + " (LogID) VALUES (?)", {site});
    deleteSiteRows(db, 1);
    for (const auto& [table, kept] : tables) {
        auto count = [&](int site) {
            return db
                .scalar(std::string("SELECT count(*) FROM ") + table + " WHERE LogID=?", {site})
                .toText();
        };
        EXPECT_EQ(count(1), kept ? "1" : "0") << table;
        EXPECT_EQ(count(2), "1") << table;
    }
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
    // Dates and times are stored so that they sort as text.
    EXPECT_EQ(n("SELECT count(*) FROM VellumitePosts WHERE LogID=? AND (postdate NOT GLOB "
                "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' OR posttime NOT GLOB "
                "'[0-2][0-9]:[0-5][0-9]:[0-5][0-9]')"),
              0);
    EXPECT_NE(readText(db.scalar("SELECT htmltext FROM VellumiteUserTemplate WHERE templateID=?",
                                 {site["UseDesignerTemplate"]}))
                  .find("<VellumitePostBlock>"),
              std::string::npos);
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
