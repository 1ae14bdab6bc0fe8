// The page model: which posts each generated page shows and what its page links say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vellumite {

// A run of consecutive entries of a list: [first, first + count).
struct Slice {
    std::size_t first = 0;
    std::size_t count = 0;
};

// Page `page` (from 1) of a list cut into pages of `perPage`; pages past the end are empty.
Slice pageSlice(std::int32_t page, std::int32_t perPage, std::size_t listSize);

// P and T as the main and item pages use them: P is lowered to T when it is larger; both are
// at least 1.
struct ItemPaging {
    std::int32_t perPage = 1;
    std::int32_t total = 1;
};
ItemPaging itemPaging(std::int32_t postPerPage, std::int32_t totalPublishPosts);

// The posts the main and item pages show, as indices into the published posts (newest
// first): the newest min(R, T) of them, newest first, or oldest first when `ascending`.
// The highlight list and the category pages walk the same posts, so every link they make
// lands on the page that holds the post.
std::vector<std::size_t> shownPosts(std::size_t publishedCount, std::int32_t total, bool ascending);

// N, the number of item pages: ceil(min(R, T) / P), always at least 1.
std::int32_t itemPageCount(std::size_t publishedCount, const ItemPaging& paging);

// The item page (from 1) that holds the i-th shown post (from 1).
std::int32_t itemPageOf(std::size_t shownPosition, const ItemPaging& paging);

// Category pages: ceil(C / P) pages are numbered in the links, but one more file follows when
// C is a multiple of P (a category without posts still gets its first page).
std::int32_t categoryPageCount(std::size_t categoryPosts, std::int32_t perPage);
std::int32_t categoryPageFiles(std::size_t categoryPosts, std::int32_t perPage);

// What the navigation tags of one page become.
struct PageNavigation {
    std::string midblocks;   // <$midblocks$>
    std::string startBlock;  // <$Startblock$>
    std::string endBlock;    // <$Endblock$>
    std::string nextSet;     // <$NextSet$>
    std::string prevSet;     // <$PrevSet$>
    std::string displayMode; // <$DisplayMode$>
};

std::string itemPageFile(std::int32_t page);                              // "item<n>.html"
std::string categoryFileKey(std::int32_t categoryId);                     // the id, blanks as "_"
std::string categoryPageFile(std::int32_t categoryId, std::int32_t page); // "cat<key>-<n>.html"

// The numbered page links, " n|" for the current page and "  <a href=F>n</a>|" for the others;
// empty when there is only one page.
std::string pageNumberList(std::int32_t pageCount, std::int32_t current,
                           const std::function<std::string(std::int32_t)>& fileOf);

// Main page (current 0) and item pages (current = page).
PageNavigation itemPageNavigation(std::int32_t page, std::int32_t pageCount, std::int32_t current,
                                  const ItemPaging& paging);

// Category page `page` of `pageCount`. Start and End are left out on a site with fewer than
// two posts.
PageNavigation categoryPageNavigation(std::int32_t categoryId, std::int32_t page,
                                      std::int32_t pageCount, std::int32_t perPage,
                                      std::size_t sitePosts);

// Month pages and the archive index: one page, no page links, a link back to the main page.
PageNavigation archivePageNavigation();

} // namespace vellumite
