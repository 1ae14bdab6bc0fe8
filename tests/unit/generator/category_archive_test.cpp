#include "generator/site_generator.h"
#include "generator_fixture.h"

#include <gtest/gtest.h>

using namespace vellumite;
using generator_tests::lineAfter;
using generator_tests::SiteFixture;
using generator_tests::titlesOn;

namespace {

std::vector<std::string> namesOf(const GeneratedFiles& files) {
    std::vector<std::string> names;
    for (const auto& f : files)
        names.push_back(f.name);
    return names;
}

} // namespace

TEST(CategoryPages, CategoryWithoutPostsGetsOnePageWithoutBlocksOrDeadLinks) {
    SiteFixture f;
    auto site = f.addSite();
    auto cat = f.addCategory(site, "Empty");
    f.addPosts(site, 5);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateCategoryPages(cat, false);
    std::string name = "cat" + std::to_string(cat) + "-1.html";
    ASSERT_EQ(namesOf(files), std::vector<std::string>{name});
    std::string page = f.page(name);
    EXPECT_EQ(titlesOn(page), "");
    for (const char* tag : {"mid=", "start=", "end=", "next=", "prev="})
        EXPECT_EQ(lineAfter(page, tag), "") << tag;
    EXPECT_EQ(lineAfter(page, "mode="), "<a href=index.html>Main</a>");
}

TEST(CategoryPages, ExactlyPPostsEndWithAnEmptyTrailingPage) {
    SiteFixture f;
    auto site = f.addSite(generator_tests::kProbeTemplate, 3, 100);
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

TEST(CategoryPages, PagingTitlesAndSiteWideTags) {
    SiteFixture f;
    auto site = f.addSite(generator_tests::kProbeTemplate, 2, 100);
    f.set(site, "logsearchterms", "tea");
    f.set(site, "CopyrightNotice", "Ann");
    auto cat = f.addCategory(site, "Tea");
    auto other = f.addCategory(site, "Other");
    f.addPosts(site, 5, cat);
    f.addPost(site, "elsewhere", "2024-12-31", "23:00:00", other, true);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateCategoryPages(cat, false);
    std::string key = "cat" + std::to_string(cat);
    ASSERT_EQ(files.size(), 3u);
    std::string p1 = f.page(key + "-1.html"), p2 = f.page(key + "-2.html");
    EXPECT_EQ(titlesOn(p1), "p1 p2");
    EXPECT_EQ(titlesOn(p2), "p3 p4");
    EXPECT_EQ(titlesOn(f.page(key + "-3.html")), "p5");
    EXPECT_TRUE(p1.starts_with("<html>Site - Tea||Copyright 2024-2025 Ann\n")) << p1;
    EXPECT_EQ(lineAfter(p2, "mid="),
              "  <a href=" + key + "-1.html>1</a>| 2|  <a href=" + key + "-3.html>3</a>|");
    EXPECT_EQ(lineAfter(p2, "next="), "<a href=" + key + "-3.html> Next 2</a>");
    EXPECT_EQ(lineAfter(p2, "start="), "<a href=" + key + "-1.html> Start </a>|");
    EXPECT_EQ(lineAfter(p2, "end="), "<a href=" + key + "-3.html> End </a>|");
    EXPECT_EQ(lineAfter(p2, "gw="), std::to_string(site));
    EXPECT_NE(lineAfter(p2, "<UserHighlightList>").find("elsewhere"), std::string::npos);
    EXPECT_EQ(lineAfter(p2, "<UserCategoryList>"),
              "{<a href=" + key + "-1.html>Tea</a>}{<a href=cat" + std::to_string(other) +
                  "-1.html>Other</a>}</UserCategoryList>");

    EXPECT_TRUE(gen.generateCategoryPages(0, false).empty());
    EXPECT_THROW(gen.generateCategoryPages(999, false), GeneratorError);
}

TEST(CategoryPages, OnlyTheNewestTPostsAreLookedAt) {
    SiteFixture f;
    auto site = f.addSite(generator_tests::kProbeTemplate, 10, 3, /*ascending=*/true);
    auto cat = f.addCategory(site, "Tea");
    f.addPosts(site, 6, cat);
    SiteGenerator gen(f.db, site, f.options());
    gen.generateCategoryPages(cat, false);
    // Per page P stays 10 (not lowered to T); the posts are the newest 3, oldest first.
    std::string page = f.page("cat" + std::to_string(cat) + "-1.html");
    EXPECT_EQ(titlesOn(page), "p3 p2 p1");
}

TEST(CategoryPages, Thumbnails) {
    SiteFixture f;
    auto site = f.addSite();
    f.set(site, "pageurl", "http://x.org/blog/index.html");
    auto cat = f.addCategory(site, "Pics");
    auto plain = f.addPost(site, "plain", "2024-01-03", "12:00:00", cat);
    auto popup = f.addPost(site, "popup", "2024-01-02", "12:00:00", cat);
    f.addPost(site, "none", "2024-01-01", "12:00:00", cat);
    f.db.execute("UPDATE VellumitePosts SET imagestats='pics/a.png,100,50,False' WHERE postID=?",
                 {plain});
    f.db.execute("UPDATE VellumitePosts SET imagestats='/pics/b.png,300,200,True' WHERE postID=?",
                 {popup});
    SiteGenerator gen(f.db, site, f.options());
    gen.generateCategoryPages(cat, false);
    std::string page = f.page("cat" + std::to_string(cat) + "-1.html");
    EXPECT_NE(page.find(":plain:<BR><BR><img src=\"http://x.org/blog/pics/a.png\" width=100 "
                        "height=50><BR>]"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(":popup:<img src=\"http://x.org/blog/pics/b.png\" width=40px height=40px "
                        "onmouseup=javascript:popupimage('http://x.org/blog/pics/b.png','300',"
                        "'200')>]"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(":none:]"), std::string::npos);
}

TEST(Archive, SiteWithinTotalHasOnlyAnEmptyIndex) {
    SiteFixture f;
    auto site = f.addSite(generator_tests::kProbeTemplate, 10, 5);
    f.addPosts(site, 5);
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateArchive(false);
    ASSERT_EQ(namesOf(files), std::vector<std::string>{"archindex.html"});
    std::string index = f.page("archindex.html");
    EXPECT_TRUE(index.starts_with("<html>Site - Archive||")) << index;
    EXPECT_NE(index.find("<VellumitePostBlock>[::]</VellumitePostBlock>"), std::string::npos);
    EXPECT_EQ(lineAfter(index, "<UserHighlightList>"), "</UserHighlightList>");
    EXPECT_EQ(files[0].length, index.size());
}

TEST(Archive, MonthsWithoutPostsBetweenArchivedOnesGetPages) {
    SiteFixture f;
    auto site = f.addSite("<$VellumiteLogTitle$>\n<VellumitePostBlock>[<$VellumitePostTitle$>"
                          "<$VellumitePostBody$>]</VellumitePostBlock>\n<$DisplayMode$>",
                          10, 1);
    f.addPost(site, "newest", "2024-05-01");
    f.addPost(site, "march", "2024-03-10");
    f.addPost(site, "january", "2024-01-20");
    f.addPost(site, "january-early", "2024-01-02");
    SiteGenerator gen(f.db, site, f.options());
    auto files = gen.generateArchive(false);
    EXPECT_EQ(namesOf(files), (std::vector<std::string>{"archindex.html", "arch012024.html",
                                                        "arch022024.html", "arch032024.html"}));
    EXPECT_EQ(f.page("arch022024.html"),
              "Site - Archive for 02/24\n<VellumitePostBlock><a href=archindex.html>Archive "
              "Index</a><BR><BR><a href=archindex.html>Archive Index</a></VellumitePostBlock>\n"
              "<a href=index.html>Main</a>");
    EXPECT_NE(f.page("arch012024.html").find("[januarybody][january-earlybody]"),
              std::string::npos);
    EXPECT_EQ(f.page("archindex.html"),
              "Site - Archive\n<VellumitePostBlock>[<a href=arch012024.html>01/2024</a><BR>"
              "<a href=arch022024.html>02/2024</a><BR><a href=arch032024.html>03/2024</a><BR>]"
              "</VellumitePostBlock>\n<a href=index.html>Main</a>");

    f.set(site, "PublishBackwards", true);
    SiteGenerator ascending(f.db, site, f.options());
    ascending.generateArchive(false);
    EXPECT_NE(f.page("arch012024.html").find("[january-earlybody][januarybody]"),
              std::string::npos);
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
