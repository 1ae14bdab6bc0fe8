// The registration's request and answer, the highlights export and its post, on a real SQLite file.
#include "platform/files.h"
#include "platform/http_client.h"
#include "publish/web_service.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

const std::filesystem::path kGolden = std::filesystem::path(VELLUMITE_TESTS_DIR) / "golden/publish";

TEST(Registration, ServerIdIsTakenOnlyFromAWholeNumberAnswer) {
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {" \t42\r\n\t", 42},
        {"\n7\n", 7},
        {"4 2", 42}, // spaces go wherever they are
        {"Publish recorded", std::nullopt},
        {"\r\n  Publish recorded \t\r\n", std::nullopt},
        {"", std::nullopt},
        {" \r\n\t", std::nullopt},
        {"<html><body>Internal error</body></html>", std::nullopt},
        {"12abc", std::nullopt},
        {"0", std::nullopt},
        {"-5", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const auto& [answer, expected] : cases)
        EXPECT_EQ(serverIdFromAnswer(answer), expected) << "answer: " << answer;
}

TEST(Registration, RequestEncodesTheSiteNameAndNamesTheIdOnlyWhenThereIsOne) {
    EXPECT_EQ(siteNameForService("My Log & Co"), "My%20Log%20%26%20Co");
    EXPECT_EQ(siteNameForService("A&B 50% off"), "A%26B%2050%%20off");
    EXPECT_EQ(registrationPath("http://x.org", 0, "My%20Log"),
              "/record_upload.php?url=http://x.org&logname=My%20Log");
    EXPECT_EQ(registrationPath("http://x.org", 42, "My%20Log"),
              "/record_upload.php?url=http://x.org&ID=42&logname=My%20Log");
    EXPECT_EQ(siteSetupPath("42", "My%20Log"), "/siteSetup.php?logserverid=42&sitename=My%20Log");
    // A site never registered has no identifier, not the 3 an empty number reads as elsewhere.
    EXPECT_EQ(registeredServerId(platform::Value()), 0);
    EXPECT_EQ(registeredServerId(platform::Value("")), 0);
    EXPECT_EQ(registeredServerId(platform::Value(42)), 42);
    EXPECT_EQ(registeredServerId(platform::Value("17")), 17);
}

class HighlightsExport : public ::testing::Test {
protected:
    HighlightsExport() {
        db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, LogServerID, pageURL, "
                   "TotalPublishPosts, PublishBackwards) VALUES ('Log', 'Log', 7, "
                   "'http://www.example.org/log', 3, 0)");
        post("First & <i>foremost</i>", "Ann", "One", "2026-01-05", "09:00:00", 1, true);
        post("Not highlighted", "Bo", "Two", "2026-01-06", "10:30:00", 1, false);
        post("Third <em>&</em> last", "<b>Cy</b>", "<p>Line one\r\nline two</p>", "2026-01-07",
             "08:05:09", 2, true);
        post("Newest & best", "Ann & Bo", "<b>Tags</b> go, \"quotes\" & <stay", "2026-01-08",
             "23:59:00", 3, true);
        post("A draft", "Di", "Draft", "2026-01-09", "12:00:00", 0, true);
    }

    void post(const char* title, const char* byline, const char* body, const char* date,
              const char* time, int page, bool highlighted) {
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage, boolDisplayInViewRecent) VALUES (1, ?, ?, ?, ?, ?, "
                   "?, ?)",
                   {title, byline, body, date, time, page, highlighted});
    }

    testing_support::TempDir dir;
    platform::Database db = testing_support::makeSiteDatabase(dir / "vellumite.db");
};

TEST_F(HighlightsExport, IsByteForByteTheFileTheServiceReads) {
    // Newest first, the first three published posts looked at: the oldest highlight is left out,
    // and so is the draft. Tags go; "&", quotes and a lone "<" stay as they are.
    const std::filesystem::path file = writeHighlightsXml(db, 1, dir / "output");
    EXPECT_EQ(file, dir / "output/highlights.xml");
    EXPECT_EQ(platform::files::readFile(file),
              platform::files::readFile(kGolden / "highlights.xml"));
    // Posted under the field "userfile" with the full local path, as the service takes it.
    const std::string path = "/home/ann/.local/share/vellumite/html/output/highlights.xml";
    EXPECT_EQ(platform::HttpClient::multipartBody(std::string(kHighlightsField), path,
                                                  highlightsXml(db, 1)),
              platform::files::readFile(kGolden / "highlights-post.txt"));
}

TEST_F(HighlightsExport, FollowsTheSitesOrderAndIsEmptyWithoutHighlights) {
    db.execute("UPDATE VellumiteLog SET PublishBackwards=-1");
    const std::string ascending = highlightsXml(db, 1);
    const auto first = ascending.find("<postid>1</postid>");
    const auto third = ascending.find("<postid>3</postid>");
    EXPECT_NE(first, std::string::npos);
    EXPECT_LT(first, third);
    EXPECT_EQ(ascending.find("<postid>4</postid>"), std::string::npos);

    db.execute("UPDATE VellumitePosts SET boolDisplayInViewRecent=0");
    EXPECT_EQ(highlightsXml(db, 1), "<?xml version=\"1.0\"?>\r\n"
                                    "<!DOCTYPE userdata SYSTEM \"vellumite-highlight.dtd\">\r\n"
                                    "<LogHighlights>\r\n"
                                    "</LogHighlights>\r\n");
}

} // namespace
} // namespace vellumite
