// The registration's request and answer, the highlights export and its post, on a real SQLite file.
#include "platform/files.h"
#include "platform/http_client.h"
#include "publish/web_service.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::files::readFile;
const std::filesystem::path kGolden = std::filesystem::path(VELLUMITE_TESTS_DIR) / "golden/publish";

// The registration's requests, with the name encoded, are shown by the publish command's test.
TEST(Registration, OnlyAWholeNumberAnswerIsANewId) {
    EXPECT_EQ(siteSetupPath("42", "A"), "/siteSetup.php?logserverid=42&sitename=A");
    // Never registered is no identifier, not the 3 an empty number reads as elsewhere.
    EXPECT_EQ(registeredServerId(platform::Value()), 0);
    // An error page, "Publish recorded" (after its spaces went) or nothing keep the identifier.
    EXPECT_EQ(serverIdFromAnswer(" \t42\r\n\t"), 42);
    for (const char* answer : {"\r\n  Publish recorded \t\r\n", " \r\n", "<html>Error</html>",
                               "12abc", "0", "99999999999"})
        EXPECT_EQ(serverIdFromAnswer(answer), std::nullopt) << answer;
}

class HighlightsExport : public ::testing::Test {
protected:
    HighlightsExport() {
        db.execute("INSERT INTO VellumiteLog (LogTitle, LogServerID, pageURL, TotalPublishPosts) "
                   "VALUES ('Log', 7, 'http://www.example.org/log', 3)");
        // Newest first, the first three published posts are looked at: the oldest highlight is
        // left out, and so is the draft.
        post("First", "Ann", "One", "2026-01-05", "09:00:00", 1, true);
        post("Not highlighted", "Bo", "Two", "2026-01-06", "10:30:00", 1, false);
        post("Third <em>&</em> last", "<b>Cy</b>", "<p>Line one\r\nline two</p>", "2026-01-07",
             "08:05:09", 2, true);
        post("Newest & best", "Ann & Bo", "<b>Tags</b> go, \"quotes\" & <stay", "2026-01-08",
             "23:59:00", 3, true);
        post("A draft", "Di", "Draft", "2026-01-09", "12:00:00", 0, true);
    }
    void post(const char* title, const char* byline, const char* body, const char* date,
              const char* time, int page, bool highlighted) {
        db.execute(
            "INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
            "posttime, PublishPage, boolDisplayInViewRecent) VALUES (1, ?, ?, ?, ?, ?, ?, ?)",
            {title, byline, body, date, time, page, highlighted});
    }
    testing_support::TempDir dir;
    platform::Database db = testing_support::makeSiteDatabase(dir / "vellumite.db");
};

TEST_F(HighlightsExport, IsByteForByteTheFileTheServiceReadsInTheSitesOrder) {
    // Tags go; "&", quotes and a lone "<" stay as they are.
    EXPECT_EQ(readFile(writeHighlightsXml(db, 1, dir / "output")),
              readFile(kGolden / "highlights.xml"));
    EXPECT_EQ(platform::HttpClient::multipartBody(
                  std::string(kHighlightsField),
                  "/home/ann/.local/share/vellumite/html/output/highlights.xml",
                  highlightsXml(db, 1)),
              readFile(kGolden / "highlights-post.txt"));

    // In the site's order, and empty without highlights.
    db.execute("UPDATE VellumiteLog SET PublishBackwards=-1"); // oldest first: posts 1 to 3
    const std::string ascending = highlightsXml(db, 1);
    EXPECT_LT(ascending.find("<postid>1</postid>"), ascending.find("<postid>3</postid>"));
    EXPECT_EQ(ascending.find("<postid>4</postid>"), std::string::npos);
    db.execute("UPDATE VellumitePosts SET boolDisplayInViewRecent=0");
    EXPECT_EQ(highlightsXml(db, 1), "<?xml version=\"1.0\"?>\r\n"
                                    "<!DOCTYPE userdata SYSTEM \"vellumite-highlight.dtd\">\r\n"
                                    "<LogHighlights>\r\n</LogHighlights>\r\n");
}

} // namespace
} // namespace vellumite
