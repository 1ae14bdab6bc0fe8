// Tag replacement over the whole page text, in the fixed order pages have always been filled:
// a value that happens to contain a later tag is filled by that later step too.
#include "generator/site_page.h"

#include "core/fill_engine.h"

#include "platform/text.h"

#include <strings.h>

namespace vellumite {

using platform::replaceAll;

std::optional<std::string_view> itemTemplate(std::string_view page, const BlockMarkers& markers,
                                             std::size_t* openAt) {
    std::size_t open = platform::findText(page, markers.open);
    if (open == std::string_view::npos)
        return std::nullopt;
    if (openAt)
        *openAt = open;
    std::size_t from = open + markers.open.size();
    std::size_t close = platform::findText(page, markers.close, from);
    if (close == std::string_view::npos)
        throw GeneratorError("The site template has " + std::string(markers.open) + " without " +
                             std::string(markers.close) +
                             " after it.  Correct the template from the TEMPLATES page.");
    return page.substr(from, close - from);
}

GeneratorError missingPostBlockError() {
    return GeneratorError("The site template has no <VellumitePostBlock> ... "
                          "</VellumitePostBlock> block, so its category and archive pages "
                          "cannot be made.  Add the block to the template from the TEMPLATES "
                          "page.");
}

PostBlock postBlockOf(const SitePost& post, bool showDate, std::string image) {
    PostBlock b;
    b.id = std::to_string(post.postId);
    b.title = post.title;
    b.byline = post.byline;
    b.body = post.body;
    if (showDate)
        b.dateStamp = post.date + " " + post.time;
    b.image = std::move(image);
    return b;
}

std::string keywordsMeta(std::string_view searchTerms) {
    if (searchTerms.empty())
        return {};
    // A double quote would end the attribute and let the keywords write markup.
    return "<meta name=\"keywords\" content=\"" +
           platform::replacedAll(searchTerms, "\"", "&quot;") + "\">";
}

std::string copyrightLine(std::string_view notice, int firstYear, int currentYear) {
    if (notice.empty())
        return {};
    std::string years = std::to_string(currentYear);
    if (firstYear < currentYear)
        years = std::to_string(firstYear) + "-" + years;
    return "Copyright " + years + " " + std::string(notice);
}

void rewriteImagePaths(std::string& page, std::string_view pageUrl) {
    std::string url(pageUrl);
    replaceAll(page, "=\"images/", "=\"" + url + "/images/");
    replaceAll(page, "('/images/", "('" + url + "/images/");
    replaceAll(page, "=\"/images/", "=\"" + url + "/images/");
}

namespace {

std::string filledBlock(std::string_view item, const PostBlock& b) {
    std::string block(item);
    replaceAll(block, "<$VellumitePostID$>", b.id);
    replaceAll(block, "<$VellumitePostTitle$>", b.title);
    replaceAll(block, "<$VellumitePostByline$>", b.byline);
    replaceAll(block, "<$VellumitePostBody$>", b.body);
    replaceAll(block, "<$VellumitePostDateStamp$>", b.dateStamp);
    replaceAll(block, "<$VellumiteImage$>", b.image);
    // Once more: a title tag written inside a post body also becomes the title.
    replaceAll(block, "<$VellumitePostTitle$>", b.title);
    return block;
}

std::vector<std::string> linkAnchors(const std::vector<SiteLink>& links) {
    std::vector<std::string> anchors;
    for (const SiteLink& l : links)
        anchors.push_back("<a href=" + l.url +
                          (l.newWindow ? " target='VLopen'>" : " target=_self>") + l.text + "</a>");
    return anchors;
}

std::vector<std::string> categoryAnchors(const std::vector<SiteCategory>& categories) {
    std::vector<std::string> anchors;
    for (const SiteCategory& c : categories)
        anchors.push_back("<a href=" + categoryPageFile(c.id, 1) + ">" + c.name + "</a>");
    return anchors;
}

} // namespace

SitePageRenderer::SitePageRenderer(const SiteData& site, std::string copyright,
                                   std::vector<std::string> highlightAnchors)
    : m_site(site), m_copyright(std::move(copyright)), m_linkAnchors(linkAnchors(site.links)),
      m_highlightAnchors(std::move(highlightAnchors)),
      m_categoryAnchors(categoryAnchors(site.categories)) {}

std::string
SitePageRenderer::joinedItems(std::string_view item, std::string_view tag,
                              const std::vector<std::string>& values,
                              std::map<std::string, std::string, std::less<>>& cache) const {
    if (auto hit = cache.find(item); hit != cache.end())
        return hit->second;
    // The list items fill one tag each, as the editor's list pages fill their blocks.
    const BlockPattern pattern(item, {tag});
    std::string joined;
    for (const std::string& value : values)
        pattern.appendFilled(joined, {value});
    cache.emplace(std::string(item), joined);
    return joined;
}

void SitePageRenderer::fillList(std::string& page, const BlockMarkers& markers,
                                std::string_view tag, const std::vector<std::string>& values,
                                std::map<std::string, std::string, std::less<>>& cache) const {
    auto item = itemTemplate(page, markers);
    if (!item || item->empty())
        return;
    std::string itemText(*item);
    replaceAll(page, itemText, joinedItems(itemText, tag, values, cache));
}

std::string SitePageRenderer::render(const PageModel& model) const {
    const SiteSettings& s = m_site.settings;
    std::string page = m_site.siteTemplate;

    replaceAll(page, "<$LinkTitle$>", s.linkTitle);
    replaceAll(page, "<$HighlightTitle$>", s.highlightTitle);
    replaceAll(page, "<$CategoryTitle$>", s.categoryTitle);
    replaceAll(page, "<$VellumiteContactMe$>", s.contactMeText);
    // A site not yet registered has no number at the web service: 0, not a guessed one.
    replaceAll(page, "<$VellumiteID$>", std::to_string(s.logServerId.value_or(0)));
    replaceAll(page, "<$copyright$>", m_copyright);
    replaceAll(page, "<$VellumiteLogTitle$>", model.logTitle);
    replaceAll(page, "<$VellumitePageTitle$>", s.webBarTitle);
    replaceAll(page, "<$VellumiteSearchTerms$>", model.searchTerms);
    replaceAll(page, "<$VellumiteContactEmail$>", s.contactEmail);

    std::size_t openAt = platform::findText(page, kPostBlock.open);
    if (openAt == std::string::npos && model.postBlockRequired)
        throw missingPostBlockError();
    // On main and item pages the marker must not be the template's first text.
    if (openAt != std::string::npos && (model.postBlockRequired || openAt > 0)) {
        std::string item(*itemTemplate(page, kPostBlock));
        if (!item.empty()) {
            std::string joined = model.blocksBefore;
            for (const PostBlock& b : model.blocks)
                joined += filledBlock(item, b);
            joined += model.blocksAfter;
            replaceAll(page, item, joined);
        }
    }

    const PageNavigation& nav = model.navigation;
    replaceAll(page, "<$midblocks$>", nav.midblocks);
    replaceAll(page, "<$Startblock$>", nav.startBlock);
    replaceAll(page, "<$Endblock$>", nav.endBlock);
    replaceAll(page, "<$NextSet$>", nav.nextSet);
    replaceAll(page, "<$PrevSet$>", nav.prevSet);
    replaceAll(page, "<$DisplayMode$>", nav.displayMode);

    if (platform::findText(page, kLinkList.open) != std::string::npos) {
        fillList(page, kLinkList, "<$LinkText$>", m_linkAnchors, m_linkCache);
        if (model.glintwatchLogId)
            replaceAll(page, "<$GlintwatchPageTitle$>", std::to_string(s.logId));
    }
    static const std::vector<std::string> kNoHighlights;
    fillList(page, kHighlightList, "<$HighlightText$>",
             model.highlights ? m_highlightAnchors : kNoHighlights,
             model.highlights ? m_highlightCache : m_noHighlightCache);
    fillList(page, kCategoryList, "<$Category$>", m_categoryAnchors, m_categoryCache);
    replaceAll(page, "<$VellumiteContactEmail$>", s.contactEmail);

    if (model.rewriteImagePaths)
        rewriteImagePaths(page, s.pageUrl);
    return page;
}

} // namespace vellumite

namespace vellumite {

std::string imageBase(std::string_view pageUrl) {
    std::string base(pageUrl);
    std::size_t scheme = base.find("://");
    std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    std::size_t slash = base.find('/', hostStart);
    if (slash != std::string::npos && base.find('.', slash) != std::string::npos)
        base.erase(base.rfind('/') + 1);
    if (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

std::string thumbnailTag(std::string_view imageStats, std::string_view pageUrl) {
    if (imageStats.empty())
        return {};
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = imageStats.find(',', start);
        parts.emplace_back(imageStats.substr(start, comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    std::string path = parts[0];
    if (path.empty() || path.front() != '/')
        path.insert(0, "/");
    // Short records lack sizes; they read as empty rather than failing the page.
    std::string width = parts.size() > 1 ? parts[1] : "";
    std::string height = parts.size() > 2 ? parts[2] : "";
    // The post editor stores the pop-up check box's value ("1"), older records the word
    // "True"; both mean a pop-up thumbnail.
    const std::string& flag = parts.back();
    bool popup = parts.size() > 1 &&
                 (strcasecmp(flag.c_str(), "True") == 0 || flag == "1" || flag == "-1");

    std::string address = imageBase(pageUrl) + path;
    std::string src = "<img src=\"" + address + "\"";
    if (popup)
        return src + " width=40px height=40px onmouseup=javascript:popupimage('" + address + "','" +
               width + "','" + height + "')>";
    return "<BR><BR>" + src + " width=" + width + " height=" + height + "><BR>";
}

} // namespace vellumite
