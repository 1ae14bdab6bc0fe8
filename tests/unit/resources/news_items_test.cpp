// Storing the service's items, the two resource lists and deleting an item, on a real site
// database.
#include "core/content_page.h"
#include "core/panes.h"
#include "resources/news_items.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class NewsItems : public ::testing::Test, protected testing_support::AppFixture {
protected:
    NewsItems() {
        app.logId = addSite("Mine");
        for (std::string_view tab : kSectionTabs)
            host.doc(std::string(pane::Content)).elements[std::string(tab)] = {};
    }
    long count() {
        return std::stol(db.scalar("SELECT COUNT(*) FROM vellumitenewsfeeds").toText());
    }
};

TEST_F(NewsItems, ApostrophesAreRemovedAndValuesStayText) {
    const std::string answer =
        "<BLAH><NEWSFEED><URL>http://a.example/it's</URL><FEEDTITLE>'); DROP TABLE "
        "vellumitenewsfeeds; --</FEEDTITLE><SITE_NAME>Bob's+Wire</SITE_NAME>"
        "<SITE_URL>http://bob.example/</SITE_URL><BODYTEXT>It's+here</BODYTEXT></NEWSFEED></BLAH>";
    EXPECT_EQ(storeImportAnswer(db, app.logId, answer), 1u);
    auto row = db.openRecordset("SELECT * FROM vellumitenewsfeeds");
    EXPECT_EQ(row["site_name"].toText(), "Bobs+Wire");
    EXPECT_EQ(row["title"].toText(), "); DROP TABLE vellumitenewsfeeds; --");
    EXPECT_EQ(row["body"].toText(), "Its+here");
    EXPECT_EQ(row["url"].toText(), "http://a.example/its");
    EXPECT_EQ(row["LogID"].toText(), std::to_string(app.logId));
}

TEST_F(NewsItems, AnAnswerThatIsNotXmlStoresNothing) {
    storeImportAnswer(db, app.logId,
                      "<BLAH><NEWSFEED><FEEDTITLE>One</FEEDTITLE></NEWSFEED></BLAH>");
    EXPECT_THROW(
        storeImportAnswer(db, app.logId, "<BLAH><NEWSFEED><FEEDTITLE>Two</FEEDTITLE></NEWSFEED>"),
        ImportAnswerError);
    EXPECT_EQ(count(), 1);
}

TEST_F(NewsItems, BothListsShowEveryItemAndDeletingAsksFirst) {
    storeNewsItems(db, app.logId,
                   {{"u", "Big+news", "s", "su", std::string(101, 'b')},
                    {"u", "<i>Small</i>", "s", "su", "short+body"}});
    const long first = std::stol(db.scalar("SELECT MIN(alertid) FROM vellumitenewsfeeds").toText());
    subShowResources(app);
    const std::string list = page("newslist.html");
    EXPECT_NE(list.find(">Big news</a>"), std::string::npos);
    EXPECT_NE(list.find(std::string(100, 'b') + "...<"), std::string::npos);
    EXPECT_NE(list.find(">Small</a>"), std::string::npos) << "tags are stripped";
    EXPECT_NE(list.find("<$deleteResource-" + std::to_string(first) + "$>"), std::string::npos);
    EXPECT_EQ(host.doc(platform::DocPath{std::string(pane::Content), {0}}).location,
              app.htmlFile("newslist.html").string());

    host.msgAnswers = {platform::MsgResult::No, platform::MsgResult::Yes};
    subDeleteResource(app, static_cast<std::int32_t>(first), true);
    EXPECT_EQ(count(), 2);
    subDeleteResource(app, static_cast<std::int32_t>(first), true);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(host.messages.at(1).text, "Are you sure you wish to delete this resource?");
    EXPECT_EQ(host.messages.at(1).title, "Delete Resource?");
    EXPECT_EQ(page("newsmanager.html").find("Big news"), std::string::npos);
    EXPECT_EQ(page("newslist.html").find("Big news"), std::string::npos);
    EXPECT_EQ(host.frontPane(), pane::ManageResources);
}

} // namespace
} // namespace vellumite
