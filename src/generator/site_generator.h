// A generator run: the site read once, then its main, item, category and archive pages written.
#pragma once

#include "generator/paging.h"
#include "generator/site_data.h"
#include "generator/site_page.h"
#include "platform/database.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vellumite {

// A page written, as the publish run lists it for upload: the name in the output folder and
// the length of the page text in bytes (text is UTF-8; each byte counts as one character).
struct GeneratedFile {
    std::string name;
    std::size_t length = 0;
    bool operator==(const GeneratedFile&) const = default;
};
using GeneratedFiles = std::vector<GeneratedFile>;

std::size_t totalLength(const GeneratedFiles& files);

struct GeneratorOptions {
    std::filesystem::path appFolder;    // where post documents (external/) are read
    std::filesystem::path outputFolder; // empty: html/output under the app folder
    int currentYear = 0;                // for the copyright line; 0: this year by the clock
};

// One run over one site. The constructor reads everything the pages need; the generate
// calls only compute and write, so a run costs one pass over the database however many
// pages it makes. Throws GeneratorError (see loadSiteData).
class SiteGenerator {
public:
    SiteGenerator(platform::Database& db, std::int32_t logId, GeneratorOptions options);
    SiteGenerator(const SiteGenerator&) = delete; // the renderer points into the site
    SiteGenerator& operator=(const SiteGenerator&) = delete;

    const SiteData& site() const { return m_site; }
    const std::filesystem::path& outputFolder() const { return m_output; }
    // N, the number of item pages.
    std::int32_t itemPageCount() const;

    // One main or item page: page g of `totalPages`, `currentNumber` shown without a link in
    // the page numbers (0: none).
    GeneratedFile generatePage(std::int32_t page, const std::string& fileName,
                               std::int32_t totalPages, std::int32_t currentNumber,
                               bool rewriteImagePaths);
    // index.html (page 1, no current number), then item1.html ... itemN.html.
    GeneratedFiles generateMainPages(bool rewriteIndex, bool rewriteItems);
    // The pages of one category, cat<key>-1.html first. Category 0 writes nothing.
    GeneratedFiles generateCategoryPages(std::int32_t categoryId, bool rewriteImagePaths);
    // The pages of every category of the site, in table order.
    GeneratedFiles generateAllCategoryPages(bool rewriteImagePaths);
    // archindex.html, then the month pages oldest first. Refused (kPublishBeforeArchiveMessage)
    // for a site never published. archindex.html is never rewritten.
    GeneratedFiles generateArchive(bool rewriteImagePaths);

    // Throws the missing-block error unless the template has a post block.
    void requirePostBlock() const;

private:
    GeneratedFile write(const std::string& name, const std::string& text) const;
    std::vector<std::string> highlightAnchors() const;

    SiteData m_site;
    std::filesystem::path m_output;
    ItemPaging m_paging;
    std::vector<std::size_t> m_shown; // indices into m_site.posts, in page order
    SitePageRenderer m_renderer;
};

// The preview run: refuses a site without a template, then writes every main, item and
// category page with image paths rewritten. When the site has categories, a template without
// a post block is refused before any page is written.
GeneratedFiles generatePreview(platform::Database& db, std::int32_t logId,
                               const GeneratorOptions& options);

// The archive months as "mmyyyy" and "mm/yyyy" labels, for a year and month.
std::string monthKey(int year, int month);

} // namespace vellumite
