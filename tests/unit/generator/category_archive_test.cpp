#include "generator/site_generator.h"
#include "generator_fixture.h"

#include <gtest/gtest.h>

using namespace vellumite;
using generator_tests::kProbeTemplate;
using generator_tests::lineAfter;
using generator_tests::namesOf;
using generator_tests::SiteFixture;
using generator_tests::titlesOn;

TEST(CategoryPages, ExactlyPPostsEndWithAnEmptyTrailingPage) {
    SiteFixture f;
    auto site = f.addSite(kProbeTemplate, 3, 100);
    auto cat = f.addCategory(site, "Tea");
    f.addPosts(site, 3, cat);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateCategoryPages(cat, false);
    std::string key = "cat" + std::to_string(cat);
    ASSERT_EQ(namesOf(files), (std::vector<std::string>{key + "-1.html", key + "-2.html"}));
    EXPECT_EQ(titlesOn(f.page(key + "-1.html")), "p1 p2 p3");
    EXPECT_EQ(lineAfter(f.page(key + "-1.html"), "next="), "");
    std::string trailing = f.page(key + "-2.html");
    EXPECT_EQ(titlesOn(trailing), "");
    EXPECT_EQ(lineAfter(trailing, "next="), ""); // there is no third page to go to
    EXPECT_EQ(lineAfter(trailing, "prev="), "<a href=" + key + "-1.html> Previous 3</a> |");
}

TEST(CategoryPages, MiddlePageLinksEveryWay) {
    SiteFixture f;
    auto site = f.addSite(kProbeTemplate, 2, 100);
    auto cat = f.addCategory(site, "Tea");
    f.addPosts(site, 5, cat);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateCategoryPages(cat, false);
    std::string key = "cat" + std::to_string(cat);
    ASSERT_EQ(files.size(), 3u);
    std::string p1 = f.page(key + "-1.html"), p2 = f.page(key + "-2.html");
    EXPECT_EQ(titlesOn(p1), "p1 p2");
    EXPECT_EQ(titlesOn(p2), "p3 p4");
    EXPECT_EQ(titlesOn(f.page(key + "-3.html")), "p5");
    EXPECT_EQ(lineAfter(p2, "mid="),
              "  <a href=" + key + "-1.html>1</a>| 2|  <a href=" + key + "-3.html>3</a>|");
    EXPECT_EQ(lineAfter(p2, "next="), "<a href=" + key + "-3.html> Next 2</a>");
    EXPECT_EQ(lineAfter(p2, "start="), "<a href=" + key + "-1.html> Start </a>|");
    EXPECT_EQ(lineAfter(p2, "end="), "<a href=" + key + "-3.html> End </a>|");

    EXPECT_TRUE(gen.generateCategoryPages(0, false).empty());
    EXPECT_THROW(gen.generateCategoryPages(999, false), GeneratorError);
}

TEST(Archive, SiteWithinTotalHasOnlyAnEmptyIndex) {
    SiteFixture f;
    auto site = f.addSite(kProbeTemplate, 10, 5);
    f.addPosts(site, 5);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateArchive(false);
    ASSERT_EQ(namesOf(files), std::vector<std::string>{"archindex.html"});
    std::string index = f.page("archindex.html");
    EXPECT_TRUE(index.starts_with("<html>Site - Archive||")) << index;
    EXPECT_NE(index.find("<VellumitePostBlock>[::]</VellumitePostBlock>"), std::string::npos);
    EXPECT_EQ(lineAfter(index, "<UserHighlightList>"), "</UserHighlightList>");
}

TEST(Archive, RefusedForASiteNeverPublished) {
    SiteFixture f;
    auto site = f.addSite();
    f.set(site, "LogServerID", nullptr);
    SiteGenerator gen(f.db, site, f.options());
    try {
        gen.generateArchive(false);
        FAIL() << "no error";
    } catch (const GeneratorError& e) {
        EXPECT_STREQ(e.what(), kPublishBeforeArchiveMessage);
    }
    EXPECT_FALSE(f.exists("archindex.html"));
}
