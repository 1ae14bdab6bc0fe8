// One paginator for item, category and archive pages, and the page links each kind shows.
#include "generator/paging.h"

#include <algorithm>

namespace vellumite {

namespace {

const char* const kMainLink = "<a href=index.html>Main</a>";

} // namespace

Slice pageSlice(std::int32_t page, std::int32_t perPage, std::size_t listSize) {
    if (page < 1 || perPage < 1)
        return {};
    std::size_t first = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(perPage);
    if (first >= listSize)
        return {listSize, 0};
    return {first, std::min<std::size_t>(static_cast<std::size_t>(perPage), listSize - first)};
}

ItemPaging itemPaging(std::int32_t postPerPage, std::int32_t totalPublishPosts) {
    ItemPaging p;
    p.total = std::max(1, totalPublishPosts);
    p.perPage = std::min(std::max(1, postPerPage), p.total);
    return p;
}

std::vector<std::size_t> shownPosts(std::size_t publishedCount, std::int32_t total,
                                    bool ascending) {
    std::size_t shown =
        std::min<std::size_t>(publishedCount, static_cast<std::size_t>(std::max(0, total)));
    std::vector<std::size_t> order(shown);
    for (std::size_t i = 0; i < shown; ++i)
        order[i] = ascending ? shown - 1 - i : i;
    return order;
}

std::int32_t itemPageCount(std::size_t publishedCount, const ItemPaging& paging) {
    std::size_t shown =
        std::min<std::size_t>(publishedCount, static_cast<std::size_t>(paging.total));
    std::size_t pages = (shown + static_cast<std::size_t>(paging.perPage) - 1) /
                        static_cast<std::size_t>(paging.perPage);
    return pages == 0 ? 1 : static_cast<std::int32_t>(pages);
}

std::int32_t itemPageOf(std::size_t shownPosition, const ItemPaging& paging) {
    return static_cast<std::int32_t>(
        (shownPosition + static_cast<std::size_t>(paging.perPage) - 1) /
        static_cast<std::size_t>(paging.perPage));
}

std::int32_t categoryPageCount(std::size_t categoryPosts, std::int32_t perPage) {
    std::size_t p = static_cast<std::size_t>(std::max(1, perPage));
    return static_cast<std::int32_t>((categoryPosts + p - 1) / p);
}

std::int32_t categoryPageFiles(std::size_t categoryPosts, std::int32_t perPage) {
    return static_cast<std::int32_t>(categoryPosts /
                                     static_cast<std::size_t>(std::max(1, perPage))) +
           1;
}

std::string itemPageFile(std::int32_t page) {
    return "item" + std::to_string(page) + ".html";
}

std::string categoryFileKey(std::int32_t categoryId) {
    // Keys are numbers today; the blank rule is kept for keys read from older files.
    std::string key = std::to_string(categoryId);
    std::replace(key.begin(), key.end(), ' ', '_');
    return key;
}

std::string categoryPageFile(std::int32_t categoryId, std::int32_t page) {
    return "cat" + categoryFileKey(categoryId) + "-" + std::to_string(page) + ".html";
}

std::string pageNumberList(std::int32_t pageCount, std::int32_t current,
                           const std::function<std::string(std::int32_t)>& fileOf) {
    if (pageCount <= 1)
        return {};
    std::string list;
    for (std::int32_t n = 1; n <= pageCount; ++n) {
        std::string number = std::to_string(n);
        if (n == current)
            list += " " + number + "|";
        else
            list += "  <a href=" + fileOf(n) + ">" + number + "</a>|";
    }
    return list;
}

PageNavigation itemPageNavigation(std::int32_t page, std::int32_t pageCount, std::int32_t current,
                                  const ItemPaging& paging) {
    PageNavigation nav;
    nav.midblocks = pageNumberList(pageCount, current, itemPageFile);
    // Start and End appear only once T reaches past this page's number plus a page of posts.
    if (paging.total >= page + paging.perPage) {
        if (pageCount > 1 && page < pageCount)
            nav.endBlock = "<a href=" + itemPageFile(pageCount) + "> End </a>|";
        if (page > 1)
            nav.startBlock = "<a href=" + itemPageFile(1) + "> Start </a>|";
    }
    if (page < pageCount)
        nav.nextSet = "<a href=" + itemPageFile(page + 1) + ">Next</a>";
    if (page >= 2)
        nav.prevSet = "<a href=" + itemPageFile(page - 1) + ">Previous</a> |";
    return nav;
}

PageNavigation categoryPageNavigation(std::int32_t categoryId, std::int32_t page,
                                      std::int32_t pageCount, std::int32_t perPage,
                                      std::size_t sitePosts) {
    auto fileOf = [categoryId](std::int32_t n) { return categoryPageFile(categoryId, n); };
    PageNavigation nav;
    nav.midblocks = pageNumberList(pageCount, page, fileOf);
    if (sitePosts >= 2) {
        if (page < pageCount)
            nav.endBlock = "<a href=" + fileOf(pageCount) + "> End </a>|";
        if (page >= 2)
            nav.startBlock = "<a href=" + fileOf(1) + "> Start </a>|";
    }
    // Only towards a page that exists: the trailing empty page and a category without posts
    // have no next page.
    std::string perPageText = std::to_string(perPage);
    if (page < pageCount)
        nav.nextSet = "<a href=" + fileOf(page + 1) + "> Next " + perPageText + "</a>";
    if (page >= 2)
        nav.prevSet = "<a href=" + fileOf(page - 1) + "> Previous " + perPageText + "</a> |";
    nav.displayMode = kMainLink;
    return nav;
}

PageNavigation archivePageNavigation() {
    PageNavigation nav;
    nav.displayMode = kMainLink;
    return nav;
}

} // namespace vellumite
