#include "generator/paging.h"
#include "generator/site_page.h"

#include <gtest/gtest.h>

using namespace vellumite;

TEST(Paging, ItemPageCountIsAtLeastOne) {
    struct Case {
        std::size_t posts;
        std::int32_t perPage, total, pages;
    } cases[] = {
        {40, 10, 15, 2}, {0, 10, 15, 1},  {5, 10, 15, 1}, {30, 10, 5, 1},
        {20, 10, 30, 2}, {21, 10, 30, 3}, {3, 0, 0, 1},   {3, 0, 3, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(itemPageCount(c.posts, itemPaging(c.perPage, c.total)), c.pages)
            << c.posts << " " << c.perPage << " " << c.total;
}

TEST(Paging, StartAndEndNeedTotalBeyondThePage) {
    ItemPaging p = itemPaging(10, 15);
    auto nav = itemPageNavigation(1, 2, 0, p);
    EXPECT_EQ(nav.endBlock, "<a href=item2.html> End </a>|");
    EXPECT_EQ(nav.startBlock, "");
    nav = itemPageNavigation(2, 2, 2, itemPaging(10, 11)); // 11 < 2 + 10
    EXPECT_EQ(nav.startBlock, "");
    EXPECT_EQ(nav.prevSet, "<a href=item1.html>Previous</a> |");
}

// Two years and none: see the golden pages.
TEST(SitePage, CopyrightLineOfOneYear) {
    EXPECT_EQ(copyrightLine("Ann Lee", 2025, 2025), "Copyright 2025 Ann Lee");
}

TEST(SitePage, ImageBaseAndThumbnails) {
    const std::pair<const char*, const char*> bases[] = {
        {"http://x.org", "http://x.org"},
        {"http://x.org/", "http://x.org"},
        {"http://x.org/blog/index.html", "http://x.org/blog"},
        {"http://x.org/blog", "http://x.org/blog"},
        {"https://x.org", "https://x.org"}, // the scheme's "//" is not a path
        {"", ""},
    };
    for (const auto& [url, base] : bases)
        EXPECT_EQ(imageBase(url), base) << url;

    EXPECT_EQ(thumbnailTag("", "http://x.org"), "");
    EXPECT_EQ(thumbnailTag("a.png,10,20,False", "http://x.org/"),
              "<BR><BR><img src=\"http://x.org/a.png\" width=10 height=20><BR>");
    EXPECT_EQ(thumbnailTag("/i/a.png,10,20,x,True", "http://x.org"),
              "<img src=\"http://x.org/i/a.png\" width=40px height=40px "
              "onmouseup=javascript:popupimage('http://x.org/i/a.png','10','20')>");
    // The check box value the post editor stores means a pop-up too.
    EXPECT_EQ(thumbnailTag("/i/a.png,10,20,1", "http://x.org"),
              thumbnailTag("/i/a.png,10,20,True", "http://x.org"));
    EXPECT_EQ(thumbnailTag("/i/a.png,10,20,0", "http://x.org"),
              thumbnailTag("/i/a.png,10,20,False", "http://x.org"));
    EXPECT_EQ(thumbnailTag("a.png", "http://x.org"),
              "<BR><BR><img src=\"http://x.org/a.png\" width= height=><BR>");
}
