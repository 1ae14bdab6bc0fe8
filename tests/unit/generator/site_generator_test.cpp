#include "generator/site_generator.h"
#include "generator_fixture.h"
#include "store/external_body.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vellumite;
using generator_tests::kProbeTemplate;
using generator_tests::lineAfter;
using generator_tests::namesOf;
using generator_tests::SiteFixture;
using generator_tests::titlesOn;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

// Pages, their posts and their links to each other for a site of more posts than its total, and
// the tags filled: see the golden pages.
TEST(MainPages, StartAndEndStayEmptyWhenTotalFitsOnePage) {
    for (int total : {5, 10}) {
        SiteFixture f;
        auto site = f.addSite(kProbeTemplate, 10, total);
        f.addPosts(site, 30);
        SiteGenerator(f.db, site, f.options()).generateMainPages(true, true);
        for (const char* page : {"index.html", "item1.html"}) {
            EXPECT_EQ(lineAfter(f.page(page), "start="), "") << total;
            EXPECT_EQ(lineAfter(f.page(page), "end="), "") << total;
            EXPECT_EQ(lineAfter(f.page(page), "mid="), "") << total;
        }
        EXPECT_FALSE(f.exists("item2.html"));
    }
}

TEST(MainPages, TemplateWithoutPostBlockOrStartingWithItHasNoBlocks) {
    for (std::string html : {std::string("<p><$VellumiteLogTitle$></p>"),
                             std::string("<VellumitePostBlock>[<$VellumitePostTitle$>]"
                                         "</VellumitePostBlock><$VellumiteLogTitle$>")}) {
        SiteFixture f;
        auto site = f.addSite(html);
        f.addPosts(site, 3);
        SiteGenerator(f.db, site, f.options()).generateMainPages(true, true);
        EXPECT_EQ(f.page("index.html").find("p1"), std::string::npos) << html;
        EXPECT_NE(f.page("index.html").find("Site"), std::string::npos);
    }
}

TEST(MainPages, SiteWithoutPostsShowsOneEmptyBlock) {
    SiteFixture f;
    auto site = f.addSite("x<VellumitePostBlock>[<$VellumitePostID$>|<$VellumitePostDateStamp$>]"
                          "</VellumitePostBlock>");
    f.set(site, "showDate", true);
    SiteGenerator(f.db, site, f.options()).generateMainPages(true, true);
    EXPECT_EQ(f.page("index.html"), "x<VellumitePostBlock>[| ]</VellumitePostBlock>");
}

TEST(MainPages, KeywordsAreEscapedAndAnUnregisteredSiteIsNumberZero) {
    SiteFixture f;
    auto site = f.addSite("<$VellumiteSearchTerms$>|<$VellumiteContactEmail$>|<$VellumiteID$>|"
                          "x<VellumitePostBlock><$VellumitePostDateStamp$></VellumitePostBlock>");
    f.addPost(site, "a", "2024-03-04", "05:06:07");
    f.set(site, "logsearchterms", "tea \"green\"");
    f.set(site, "contactemail", "me@x.org");
    f.set(site, "showDate", true);
    f.set(site, "LogServerID", nullptr);
    SiteGenerator(f.db, site, f.options()).generatePage(1, "index.html", 1, 0, false);
    EXPECT_EQ(f.page("index.html"),
              "<meta name=\"keywords\" content=\"tea &quot;green&quot;\">|me@x.org|0|"
              "x<VellumitePostBlock>2024-03-04 05:06:07</VellumitePostBlock>");
}

// Image paths made absolute or left as they are: see the golden pages (archives keep them).
TEST(MainPages, ExternalPostBodyWithoutItsDocumentIsAnError) {
    SiteFixture f;
    auto site = f.addSite();
    auto post = f.addPost(site, "w", "2024-01-01");
    f.db.execute("UPDATE VellumitePosts SET posttext='<!External Element>' WHERE postID=?", {post});
    EXPECT_THROW(SiteGenerator(f.db, site, f.options()), GeneratorError);
}

TEST(Preview, RefusesWhatItCannotGenerateAndWritesNothing) {
    struct Case {
        const char* name;
        std::string html;
        int useTemplate; // 1: the site's own, the first in a fresh database
        std::string message;
    } cases[] = {
        {"no template", kProbeTemplate, 0, kNoTemplateMessage},
        {"template gone", kProbeTemplate, 99, "no longer exists"},
        {"no post block", "<p>no block</p>", 1, "has no <VellumitePostBlock>"},
        {"block not closed", "x<VellumitePostBlock>[<$VellumitePostTitle$>]", 1,
         "</VellumitePostBlock>"},
        {"link list not closed", "<VellumitePostBlock></VellumitePostBlock><UserLinkList>{", 1,
         "</UserLinkList>"},
    };
    for (const auto& c : cases) {
        SiteFixture f;
        auto site = f.addSite(c.html);
        f.addCategory(site, "c");
        f.set(site, "UseDesignerTemplate", c.useTemplate);
        EXPECT_THAT([&] { generatePreview(f.db, site, f.options()); },
                    ThrowsMessage<GeneratorError>(HasSubstr(c.message)))
            << c.name;
        EXPECT_FALSE(f.exists("index.html")) << c.name;
    }
    SiteFixture f;
    EXPECT_THROW(generatePreview(f.db, 12345, f.options()), GeneratorError);
}

TEST(Preview, WritesMainItemAndCategoryPagesInOrder) {
    SiteFixture f;
    auto site = f.addSite(kProbeTemplate, 2, 4);
    auto a = f.addCategory(site, "A");
    auto b = f.addCategory(site, "B");
    f.addPosts(site, 3, a);
    std::string ca = "cat" + std::to_string(a), cb = "cat" + std::to_string(b);
    EXPECT_EQ(generator_tests::namesOf(generatePreview(f.db, site, f.options())),
              (std::vector<std::string>{"index.html", "item1.html", "item2.html", ca + "-1.html",
                                        ca + "-2.html", cb + "-1.html"}));
}

// A category of exactly one page of posts and its empty trailing page: see the golden pages.
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
    EXPECT_THAT([&] { SiteGenerator(f.db, site, f.options()).generateArchive(false); },
                ThrowsMessage<GeneratorError>(StrEq(kPublishBeforeArchiveMessage)));
    EXPECT_FALSE(f.exists("archindex.html"));
}
