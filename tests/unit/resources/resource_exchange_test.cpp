// The exchange file, the request addresses, the checked values and the service's answer.
#include "resources/resource_exchange.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(ResourceExchange, TheExchangeFileHoldsTheCheckedItemsInPageOrder) {
    const std::string head = "<?xml version=\"1.0\"?>\r\n"
                             "<!DOCTYPE userdata SYSTEM \"importoutput.dtd\">\r\n"
                             "<import>\r\n";
    EXPECT_EQ(importListXml({}, "42", "ann", "pw"), head + "</import>");
    const std::string two =
        importListXml({{"wire", "101", "7"}, {"desk", "201", "9"}}, "42", "ann", "a&b<c");
    EXPECT_EQ(two, head + "<item>\r\n<provider>wire</provider>\r\n<itemid>101</itemid>\r\n"
                          "<userid>42</userid>\r\n<feedid>7</feedid><username>ann</username>"
                          "<password>a&amp;b&lt;c</password>\r\n</item>\r\n"
                          "<item>\r\n<provider>desk</provider>\r\n<itemid>201</itemid>\r\n"
                          "<userid>42</userid>\r\n<feedid>9</feedid><username>ann</username>"
                          "<password>a&amp;b&lt;c</password>\r\n</item>\r\n"
                          "</import>");
}

TEST(ResourceExchange, ACheckBoxValueIsAcceptedOnlyWithThreePieces) {
    const std::pair<const char*, bool> cases[] = {
        {"wire-101-7", true}, {"wire-101", false}, {"wire-101-7-8", false},
        {"wire--7", false},   {"", false},         {"-101-7", false},
    };
    for (const auto& [value, ok] : cases)
        EXPECT_EQ(managerItem(value).has_value(), ok) << value;
    EXPECT_EQ(managerItem("wire-101-7")->itemId, "101");
}

TEST(ResourceExchange, NamesAndPasswordsNeitherCutNorChangeTheRequest) {
    EXPECT_EQ(manageResourcesPath("ann lee", "a&b#c", "&setup=true"),
              "/manageResources.php?username=ann%20lee&password=a%26b%23c&setup=true");
    EXPECT_EQ(glintwatchPath("ann", "a&b#c"), "/login.cgi?username=ann&password=a%26b%23c");
    EXPECT_EQ(glintwatchPath("", "secret"), "/");
    EXPECT_EQ(setResourceTimePath(77, 7, 20), "/setresourcetime.php?userid=77&days=7&maxposts=20");
}

TEST(ResourceExchange, TheAnswerGivesOneItemPerNewsfeedNode) {
    const auto items = newsItemsOfAnswer(
        "<?xml version=\"1.0\"?><BLAH><NEWSFEED><USERID>42</USERID><URL>http://a.example/1</URL>"
        "<FEEDTITLE>Big+news</FEEDTITLE><SITE_NAME>Bob's+Wire</SITE_NAME>"
        "<SITE_URL>http://bob.example/</SITE_URL><BODYTEXT>Fish &amp; <b>chips</b></BODYTEXT>"
        "</NEWSFEED><NEWSFEED><FEEDTITLE>Second</FEEDTITLE></NEWSFEED><OTHER/></BLAH>");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "Big+news");
    EXPECT_EQ(items[0].siteName, "Bob's+Wire");
    EXPECT_EQ(items[0].body, "Fish &amp; <b>chips</b>"); // as written between the tags
    EXPECT_EQ(items[1].url, "");
    EXPECT_TRUE(newsItemsOfAnswer("<other><NEWSFEED/></other>").empty());
    for (const char* broken : {"", "<BLAH><NEWSFEED></BLAH>", "<html><body>Error 500"})
        EXPECT_THROW(newsItemsOfAnswer(broken), ImportAnswerError) << broken;
}

TEST(ResourceExchange, ListedBodiesAreCutAfterOneHundredCharacters) {
    const std::string hundred(100, 'x');
    const std::string accented = std::string(99, 'x') + "\xC3\xA9\xC3\xA9"; // 101 characters
    const std::pair<std::string, std::string> cases[] = {
        {hundred, hundred},
        {hundred + "y", hundred + "..."},
        {"a+b+c", "a b c"},
        {accented, std::string(99, 'x') + "\xC3\xA9..."},
    };
    for (const auto& [body, listed] : cases)
        EXPECT_EQ(listedMatch(body), listed) << body;
}

} // namespace
} // namespace vellumite
