// Filling the site template: the tag vocabulary and the steps that turn a page model into HTML.
#pragma once

#include "generator/paging.h"
#include "generator/site_data.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// The block markers of a site template. The markers stay in the page; the text between them
// is the item template, repeated once per record.
struct BlockMarkers {
    std::string_view open;
    std::string_view close;
};
inline constexpr BlockMarkers kPostBlock{"<VellumitePostBlock>", "</VellumitePostBlock>"};
inline constexpr BlockMarkers kLinkList{"<UserLinkList>", "</UserLinkList>"};
inline constexpr BlockMarkers kHighlightList{"<UserHighlightList>", "</UserHighlightList>"};
inline constexpr BlockMarkers kCategoryList{"<UserCategoryList>", "</UserCategoryList>"};

// The exact text between the first opening marker and the closing marker after it; nothing
// when the opening marker is absent. Throws GeneratorError naming the markers when the
// closing one does not follow.
std::optional<std::string_view> itemTemplate(std::string_view page, const BlockMarkers& markers,
                                             std::size_t* openAt = nullptr);

// The error for a template whose post block category and archive pages cannot do without.
GeneratorError missingPostBlockError();

// The values of one repeated post block.
struct PostBlock {
    std::string id;
    std::string title;
    std::string byline;
    std::string body;
    std::string dateStamp;
    std::string image;
};

// A post's block: date stamp by `showDate`, image tag empty unless given.
PostBlock postBlockOf(const SitePost& post, bool showDate, std::string image = {});

// One page before it is filled in.
struct PageModel {
    std::string logTitle;    // <$VellumiteLogTitle$>
    std::string searchTerms; // <$VellumiteSearchTerms$>
    // Main and item pages take no post block from a template that starts with its marker;
    // category and archive pages need the block wherever it is.
    bool postBlockRequired = false;
    std::vector<PostBlock> blocks;
    std::string blocksBefore; // put around the joined blocks (month pages)
    std::string blocksAfter;
    PageNavigation navigation;
    bool highlights = true;       // false: the highlight list becomes empty
    bool glintwatchLogId = false; // <$GlintwatchPageTitle$> becomes the LogID
    bool rewriteImagePaths = false;
};

// The keywords meta element, empty without keywords.
std::string keywordsMeta(std::string_view searchTerms);

// The copyright line: "Copyright <first>-<current> <notice>", one year when they are equal;
// empty without a notice.
std::string copyrightLine(std::string_view notice, int firstYear, int currentYear);

// The three image path rewrites: site-relative "images/" addresses become addresses under
// the site's public URL.
void rewriteImagePaths(std::string& page, std::string_view pageUrl);

// Fills pages of one site. The site-wide parts (lists, highlight links) are made once and
// reused for every page of the run.
class SitePageRenderer {
public:
    // `highlightAnchors` are the finished highlight links, in list order.
    SitePageRenderer(const SiteData& site, std::string copyright,
                     std::vector<std::string> highlightAnchors);

    std::string render(const PageModel& page) const;

private:
    std::string joinedItems(std::string_view item, std::string_view tag,
                            const std::vector<std::string>& values,
                            std::map<std::string, std::string, std::less<>>& cache) const;
    void fillList(std::string& page, const BlockMarkers& markers, std::string_view tag,
                  const std::vector<std::string>& values,
                  std::map<std::string, std::string, std::less<>>& cache) const;

    const SiteData& m_site;
    std::string m_copyright;
    std::vector<std::string> m_linkAnchors;
    std::vector<std::string> m_highlightAnchors;
    std::vector<std::string> m_categoryAnchors;
    // The joined list items by item template: the template rarely differs between pages.
    mutable std::map<std::string, std::string, std::less<>> m_linkCache, m_highlightCache,
        m_noHighlightCache, m_categoryCache;
};

} // namespace vellumite

namespace vellumite {

// The category page image of a post from its `imagestats` ("path,width,height,...,popup"):
// empty without one; a 40 by 40 thumbnail that opens the picture when the last element is
// "True" or "1"; else the picture at its own size between line breaks.
std::string thumbnailTag(std::string_view imageStats, std::string_view pageUrl);

// The address images are under: `pageUrl` without a trailing "/", and without its last path
// segment when that looks like a file name ("http://host/blog/index.html").
std::string imageBase(std::string_view pageUrl);

} // namespace vellumite
