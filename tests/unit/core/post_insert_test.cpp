// Link and image tags for the post box, and the image history on a real site database.
#include "core/post_insert.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(PostInsert, LinkAddressesBeneathTheSiteUnlessTheyAreAddressesAlready) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"http://me.example", "page.html", "http://me.example/page.html"},
        {"http://me.example/", "/about.html", "http://me.example/about.html"},
        {"http://me.example", "MAILTO:ann@example.org", "MAILTO:ann@example.org"},
        {"http://me.example", "ftp://files.example/a", "ftp://files.example/a"},
    };
    for (const auto& [site, typed, used] : cases)
        EXPECT_EQ(linkAddress(site, typed), used) << typed;
    EXPECT_EQ(linkTag("http://x", "", "word"), "<a href=\"http://x\" >word</a>");
}

TEST(PostInsert, ImagesBeneathTheSiteAndTheirHistoryPath) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"http://me.example", "images/a.gif", "http://me.example/images/a.gif", "/images/a.gif"},
        {"http://me.example/", "/a.gif", "http://me.example/a.gif", "/a.gif"},
        {"http://me.example", "HTTPS://cdn.example/b.png", "HTTPS://cdn.example/b.png",
         "HTTPS://cdn.example/b.png"},
        {"", "images/c.gif", "/images/c.gif", "c.gif"}, // a site without an address
    };
    for (const auto& [site, path, absolute, history] : cases) {
        const ImageAddress image = imageAddress(site, path);
        EXPECT_EQ(image.absolute + " " + imageHistoryPath(image),
                  std::string(absolute) + " " + history)
            << path;
    }
    EXPECT_EQ(imageTag("http://x/a.gif", "30", "40", false, "say \"hi\""),
              "<img src=\"http://x/a.gif\" height=30 width=40 alt=\"say &quot;hi&quot;\">");
    EXPECT_EQ(imageTag("http://x/a.gif", "30", "40", true, "a"),
              "<a href=\"javascript:popupimage('http://x/a.gif',40,30)\"><img "
              "src=\"http://x/a.gif\" height=40 width=40 alt=\"a\"></a>");
}

class ImageHistory : public ::testing::Test, protected testing_support::AppFixture {};

TEST_F(ImageHistory, StoresWhatWasTypedAndKeepsTheNewestUseLast) {
    const std::int32_t site = addSite("Pictures");
    const std::string hostile = "it's \"x\"'); DELETE FROM VellumiteImages; --";
    recordImageUse(db, site, "/a.gif", "10", "20", "first");
    recordImageUse(db, site, hostile, "5", "", hostile);
    recordImageUse(db, site, "/a.gif", "10", "20", "again");
    recordImageUse(db, addSite("Other"), "/z.gif", "1", "1", "");
    EXPECT_EQ(imageHistory(db, site),
              (std::vector<std::string>{hostile + ",5,3," + hostile, "/a.gif,10,20,again"}));
}

} // namespace
} // namespace vellumite
