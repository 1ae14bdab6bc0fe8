// The generator run: page models from the site read once, rendered and written one by one.
#include "generator/site_generator.h"

#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

int thisYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

struct YearMonth {
    int year = 0;
    int month = 0;
    auto operator<=>(const YearMonth&) const = default;
    YearMonth next() const {
        return month == 12 ? YearMonth{year + 1, 1} : YearMonth{year, month + 1};
    }
};

// The year and month of a stored "YYYY-MM-DD" date; nothing for a date that is not one.
std::optional<YearMonth> yearMonthOf(std::string_view date) {
    auto digits = [&](std::size_t from, std::size_t n) -> std::optional<int> {
        if (date.size() < from + n)
            return std::nullopt;
        int v = 0;
        for (std::size_t i = from; i < from + n; ++i) {
            if (date[i] < '0' || date[i] > '9')
                return std::nullopt;
            v = v * 10 + (date[i] - '0');
        }
        return v;
    };
    auto year = digits(0, 4);
    auto month = digits(5, 2);
    if (!year || !month || date[4] != '-' || *month < 1 || *month > 12)
        return std::nullopt;
    return YearMonth{*year, *month};
}

std::string twoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

std::string monthLabel(YearMonth m) {
    return twoDigits(m.month) + "/" + std::to_string(m.year);
}

std::string shortMonthLabel(YearMonth m) {
    return twoDigits(m.month) + "/" + twoDigits(m.year % 100);
}

fs::path outputFolderOf(const GeneratorOptions& options) {
    return options.outputFolder.empty() ? options.appFolder / "html" / "output"
                                        : options.outputFolder;
}

std::string copyrightOf(const SiteData& site, int currentYear) {
    int year = currentYear > 0 ? currentYear : thisYear();
    int first = year;
    if (!site.posts.empty())
        if (auto oldest = yearMonthOf(site.posts.back().date))
            first = std::min(first, oldest->year);
    return copyrightLine(site.settings.copyrightNotice, first, year);
}

} // namespace

std::string monthKey(int year, int month) {
    return twoDigits(month) + std::to_string(year);
}

std::size_t totalLength(const GeneratedFiles& files) {
    std::size_t total = 0;
    for (const GeneratedFile& f : files)
        total += f.length;
    return total;
}

SiteGenerator::SiteGenerator(platform::Database& db, std::int32_t logId, GeneratorOptions options)
    : m_site(loadSiteData(db, logId, options.appFolder)), m_output(outputFolderOf(options)),
      m_paging(itemPaging(m_site.settings.postPerPage, m_site.settings.totalPublishPosts)),
      m_shown(shownPosts(m_site.posts.size(), m_paging.total, m_site.settings.ascending)),
      m_renderer(m_site, copyrightOf(m_site, options.currentYear), highlightAnchors()) {
    try {
        platform::files::createFolders(m_output);
    } catch (const std::system_error& e) {
        throw GeneratorError("cannot create the output folder " + m_output.string() + ": " +
                             e.code().message());
    }
}

std::vector<std::string> SiteGenerator::highlightAnchors() const {
    std::vector<std::string> anchors;
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        const SitePost& post = m_site.posts[m_shown[i]];
        if (!post.highlighted)
            continue;
        anchors.push_back("<a href=" + itemPageFile(itemPageOf(i + 1, m_paging)) + "#" +
                          std::to_string(post.postId) + ">" + platform::stripTags(post.title) +
                          "</a>");
    }
    return anchors;
}

std::int32_t SiteGenerator::itemPageCount() const {
    return vellumite::itemPageCount(m_site.posts.size(), m_paging);
}

void SiteGenerator::requirePostBlock() const {
    if (platform::findText(m_site.siteTemplate, kPostBlock.open) == std::string::npos)
        throw missingPostBlockError();
    itemTemplate(m_site.siteTemplate, kPostBlock); // a missing closing marker is refused too
}

GeneratedFile SiteGenerator::write(const std::string& name, const std::string& text) const {
    platform::files::writeFileAtomic(m_output / name, text);
    return {name, text.size()};
}

GeneratedFile SiteGenerator::generatePage(std::int32_t page, const std::string& fileName,
                                          std::int32_t totalPages, std::int32_t currentNumber,
                                          bool rewriteImagePaths) {
    const SiteSettings& s = m_site.settings;
    PageModel model;
    model.logTitle = s.displayTitle;
    model.searchTerms = keywordsMeta(s.searchTerms);
    if (m_site.posts.empty()) {
        // A site without posts still shows the block once, with its tags emptied.
        PostBlock empty;
        empty.dateStamp = s.showDate ? " " : "";
        model.blocks.push_back(empty);
    } else {
        Slice slice = pageSlice(page, m_paging.perPage, m_shown.size());
        for (std::size_t i = slice.first; i < slice.first + slice.count; ++i)
            model.blocks.push_back(postBlockOf(m_site.posts[m_shown[i]], s.showDate));
    }
    model.navigation = itemPageNavigation(page, totalPages, currentNumber, m_paging);
    model.rewriteImagePaths = rewriteImagePaths;
    return write(fileName, m_renderer.render(model));
}

GeneratedFiles SiteGenerator::generateMainPages(bool rewriteIndex, bool rewriteItems) {
    std::int32_t pages = itemPageCount();
    GeneratedFiles files;
    files.push_back(generatePage(1, "index.html", pages, 0, rewriteIndex));
    for (std::int32_t n = 1; n <= pages; ++n)
        files.push_back(generatePage(n, itemPageFile(n), pages, n, rewriteItems));
    return files;
}

GeneratedFiles SiteGenerator::generateCategoryPages(std::int32_t categoryId,
                                                    bool rewriteImagePaths) {
    if (categoryId == 0)
        return {};
    auto category = std::find_if(m_site.categories.begin(), m_site.categories.end(),
                                 [&](const SiteCategory& c) { return c.id == categoryId; });
    if (category == m_site.categories.end())
        throw GeneratorError("There is no category number " + std::to_string(categoryId) +
                             " in this site.");
    requirePostBlock();

    const SiteSettings& s = m_site.settings;
    std::vector<const SitePost*> used;
    for (std::size_t index : m_shown)
        if (m_site.posts[index].categoryId == categoryId)
            used.push_back(&m_site.posts[index]);

    std::int32_t perPage = s.postPerPage; // not lowered to T on category pages
    std::int32_t pageCount = categoryPageCount(used.size(), perPage);
    std::int32_t files = categoryPageFiles(used.size(), perPage);
    GeneratedFiles written;
    for (std::int32_t page = 1; page <= files; ++page) {
        PageModel model;
        model.logTitle = s.displayTitle + " - " + category->name;
        model.postBlockRequired = true;
        Slice slice = pageSlice(page, perPage, used.size());
        for (std::size_t i = slice.first; i < slice.first + slice.count; ++i)
            model.blocks.push_back(
                postBlockOf(*used[i], s.showDate, thumbnailTag(used[i]->imageStats, s.pageUrl)));
        model.navigation =
            categoryPageNavigation(categoryId, page, pageCount, perPage, m_site.posts.size());
        model.glintwatchLogId = true;
        model.rewriteImagePaths = rewriteImagePaths;
        written.push_back(write(categoryPageFile(categoryId, page), m_renderer.render(model)));
    }
    return written;
}

GeneratedFiles SiteGenerator::generateAllCategoryPages(bool rewriteImagePaths) {
    GeneratedFiles all;
    for (const SiteCategory& c : m_site.categories) {
        GeneratedFiles files = generateCategoryPages(c.id, rewriteImagePaths);
        all.insert(all.end(), files.begin(), files.end());
    }
    return all;
}

GeneratedFiles SiteGenerator::generateArchive(bool rewriteImagePaths) {
    const SiteSettings& s = m_site.settings;
    if (!s.logServerId)
        throw GeneratorError(kPublishBeforeArchiveMessage, GeneratorError::kNotPublishedYet);
    requirePostBlock();

    // Posts newest first whatever the site's order; those after the first T are archived.
    const std::vector<SitePost>& posts = m_site.posts;
    std::size_t total = static_cast<std::size_t>(s.totalPublishPosts);
    std::map<YearMonth, std::vector<const SitePost*>> byMonth; // every post, in page order
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const SitePost& post = posts[s.ascending ? posts.size() - 1 - i : i];
        if (auto month = yearMonthOf(post.date))
            byMonth[*month].push_back(&post);
    }
    std::optional<YearMonth> first, last;
    for (std::size_t i = total; i < posts.size(); ++i)
        if (auto month = yearMonthOf(posts[i].date)) {
            first = first ? std::min(*first, *month) : *month;
            last = last ? std::max(*last, *month) : *month;
        }

    GeneratedFiles months;
    std::string monthList;
    if (first) {
        // Every calendar month from the oldest archived post to the newest, empty ones too.
        for (YearMonth m = *first; m <= *last; m = m.next()) {
            std::string file = "arch" + monthKey(m.year, m.month) + ".html";
            monthList += "<a href=" + file + ">" + monthLabel(m) + "</a><BR>";
            PageModel model;
            model.logTitle = s.displayTitle + " - Archive for " + shortMonthLabel(m);
            model.postBlockRequired = true;
            if (auto found = byMonth.find(m); found != byMonth.end())
                for (const SitePost* post : found->second)
                    model.blocks.push_back(postBlockOf(*post, s.showDate));
            model.blocksBefore = "<a href=archindex.html>Archive Index</a><BR>";
            model.blocksAfter = "<BR><a href=archindex.html>Archive Index</a>";
            model.navigation = archivePageNavigation();
            model.highlights = false;
            model.glintwatchLogId = true;
            model.rewriteImagePaths = rewriteImagePaths;
            months.push_back(write(file, m_renderer.render(model)));
        }
    }

    PageModel index;
    index.logTitle = s.displayTitle + " - Archive";
    index.postBlockRequired = true;
    PostBlock list;
    list.body = monthList;
    index.blocks.push_back(list);
    index.navigation = archivePageNavigation();
    index.highlights = false;
    index.glintwatchLogId = true;
    GeneratedFiles files{write("archindex.html", m_renderer.render(index))};
    files.insert(files.end(), months.begin(), months.end());
    return files;
}

GeneratedFiles generatePreview(platform::Database& db, std::int32_t logId,
                               const GeneratorOptions& options) {
    SiteGenerator generator(db, logId, options);
    if (!generator.site().categories.empty())
        generator.requirePostBlock();
    GeneratedFiles files = generator.generateMainPages(true, true);
    GeneratedFiles categories = generator.generateAllCategoryPages(true);
    files.insert(files.end(), categories.begin(), categories.end());
    return files;
}

} // namespace vellumite
