// The shipped site template library: every template generates the sample site into pages a
// browser parses without error, carries the whole tag vocabulary and has its 70x70 thumbnail.
// What the pages load and how the designer's rules restyle them: see the browser test.
#include "generator/site_generator.h"
#include "platform/files.h"
#include "support/run_program.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

using namespace vellumite;
using testing_support::shellQuoted;
namespace fs = std::filesystem;

namespace {

const fs::path kLibrary = testing_support::sourceShare() / "templates";
const fs::path kHtmlCheck = fs::path(VELLUMITE_TESTS_DIR) / "support" / "html5_check.py";
constexpr std::string_view kDesignPrefix = "rqzd~";

std::vector<std::string> libraryNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kLibrary))
        if (entry.path().extension() == ".html")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string templateText(const std::string& name) {
    return platform::files::readFile(kLibrary / (name + ".html"));
}

// html5_check.py over `files`: its report, empty when every page is sound.
testing_support::ProgramRun checkPages(const std::vector<fs::path>& files) {
    std::string command = "/usr/bin/python3 " + shellQuoted(kHtmlCheck.string());
    for (const fs::path& f : files)
        command += " " + shellQuoted(f.string());
    return testing_support::runCommand(command, 120);
}

struct SiteVariant {
    std::string name;
    int perPage;
    int total;
};

// The sample site generated with `html` as its template, archive included. The paged variant
// (2 posts a page, 3 published) also fills the page links, an empty category page and a month.
std::vector<fs::path> generateSample(const fs::path& folder, const std::string& html,
                                     const SiteVariant& variant) {
    fs::create_directories(folder);
    auto db = testing_support::makeSiteDatabase(folder / "vellumite.db", true);
    db.execute("UPDATE VellumiteUserTemplate SET htmltext=? WHERE templateID=1", {html});
    db.execute("UPDATE VellumiteLog SET postperpage=?, TotalPublishPosts=? WHERE LogID=1",
               {variant.perPage, variant.total});
    GeneratorOptions options;
    options.appFolder = folder;
    options.currentYear = 2026;
    GeneratedFiles files = generatePreview(db, 1, options);
    GeneratedFiles archive = SiteGenerator(db, 1, options).generateArchive(false);
    files.insert(files.end(), archive.begin(), archive.end());
    std::vector<fs::path> paths;
    for (const GeneratedFile& f : files)
        paths.push_back(folder / "html/output" / f.name);
    return paths;
}

std::size_t occurrences(const std::string& text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(TemplateLibrary, HoldsSimpleAndTwoDesignsEachWithASeventyPixelGifThumbnail) {
    auto names = libraryNames();
    EXPECT_GE(names.size(), 5u);
    EXPECT_NE(std::find(names.begin(), names.end(), "simple"), names.end());
    EXPECT_GE(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.starts_with(kDesignPrefix); }),
              2);
    for (const std::string& name : names) {
        fs::path gif = kLibrary / (name + ".gif");
        ASSERT_TRUE(fs::exists(gif)) << gif;
        std::string bytes = platform::files::readFile(gif);
        ASSERT_GE(bytes.size(), 10u) << gif;
        EXPECT_TRUE(bytes.starts_with("GIF89a") || bytes.starts_with("GIF87a")) << gif;
        // The logical screen size: two little-endian 16-bit numbers after the signature.
        auto u16 = [&](int at) {
            return (unsigned char)bytes[at] | (unsigned char)bytes[at + 1] << 8;
        };
        EXPECT_EQ(u16(6), 70) << gif << " width";
        EXPECT_EQ(u16(8), 70) << gif << " height";
    }
}

TEST(TemplateLibrary, EveryTemplateUsesTheWholeTagVocabulary) {
    // Every tag once at least; every block marker exactly once, as a second block would be
    // plain text.
    const std::string vocabulary =
        "<$LinkTitle$> <$HighlightTitle$> <$CategoryTitle$> <$VellumiteContactMe$> "
        "<$VellumiteContactEmail$> <$VellumiteID$> <$copyright$> <$VellumiteLogTitle$> "
        "<$VellumitePageTitle$> <$VellumiteSearchTerms$> <VellumitePostBlock> "
        "</VellumitePostBlock> <$VellumitePostID$> <$VellumitePostTitle$> "
        "<$VellumitePostByline$> <$VellumitePostBody$> <$VellumitePostDateStamp$> "
        "<$VellumiteImage$> <$midblocks$> <$Startblock$> <$Endblock$> <$NextSet$> <$PrevSet$> "
        "<$DisplayMode$> <UserLinkList> </UserLinkList> <$LinkText$> <$GlintwatchPageTitle$> "
        "<UserHighlightList> </UserHighlightList> <$HighlightText$> <UserCategoryList> "
        "</UserCategoryList> <$Category$>";
    for (const std::string& name : libraryNames()) {
        std::string html = templateText(name);
        std::istringstream tags(vocabulary);
        for (std::string tag; tags >> tag;)
            if (tag.starts_with("<$"))
                EXPECT_GE(occurrences(html, tag), 1u) << name << " " << tag;
            else
                EXPECT_EQ(occurrences(html, tag), 1u) << name << " " << tag;
    }
}

TEST(TemplateLibrary, EveryTemplateGeneratesTheSampleSiteIntoPagesThatParseAsHtml) {
    testing_support::TempDir dir;
    std::vector<fs::path> pages;
    for (const std::string& name : libraryNames()) {
        std::string html = templateText(name);
        for (const SiteVariant& variant :
             {SiteVariant{"sample", 10, 20}, SiteVariant{"paged", 2, 3}}) {
            fs::path folder = dir / name / variant.name;
            std::vector<fs::path> written;
            ASSERT_NO_THROW(written = generateSample(folder, html, variant)) << name;
            pages.insert(pages.end(), written.begin(), written.end());
            std::string index = platform::files::readFile(folder / "html/output/index.html");
            SCOPED_TRACE(name + " " + variant.name);
            EXPECT_NE(index.find(">Publishing to your web space<"), std::string::npos);
            EXPECT_NE(index.find(">HTML reference</a>"), std::string::npos);
            EXPECT_NE(index.find("<a href=cat2-1.html>Publishing</a>"), std::string::npos);
            if (variant.name == "sample") {
                EXPECT_EQ(written.size(), 5u);
                EXPECT_NE(index.find(">Welcome to Vellumite</a>"), std::string::npos);
                EXPECT_NE(index.find("<a href=item1.html#"), std::string::npos);
            } else {
                EXPECT_EQ(written.size(), 8u);
                EXPECT_NE(index.find("<a href=item2.html>Next</a>"), std::string::npos);
            }
        }
    }
    auto check = checkPages(pages);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output, "");
}

TEST(HtmlCheck, ReportsEveryFaultAPageCanHave) {
    const std::string head = "<head><meta charset=\"utf-8\"><meta name=\"viewport\" "
                             "content=\"width=device-width, initial-scale=1\"><title>t</title>"
                             "</head>";
    const std::string good =
        "<!DOCTYPE html><html lang=\"en\">" + head + "<body><p>x</p></body></html>";
    // A page, and what the check must say of it; empty: nothing.
    const std::pair<std::string, std::string> cases[] = {
        {good, ""},
        {good.substr(15), "expected-doctype-but-got-start-tag"},
        {"<!DOCTYPE html><html lang=\"en\">" + head + "<body><p>x</div></body></html>",
         "end-tag-too-early"},
        {"<!DOCTYPE html><html lang=\"en\">" + head + "<body><img onmouseup=a('b')></body></html>",
         "unexpected-character-in-unquoted-attribute-value"},
        {"<!DOCTYPE html><html lang=\"en\">" + head + "<body><$Tag$></body></html>",
         "expected-tag-name"},
        {"<!DOCTYPE html><html>" + head + "<body></body></html>", "missing lang"},
        {"<!DOCTYPE html><html lang=\"en\"><head><title>t</title></head><body></body></html>",
         "missing <meta charset"},
        {"<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>t</title></head>"
         "<body></body></html>",
         "missing a viewport"},
        {"<!DOCTYPE html><html lang=\"en\">" + head + "<body>caf\xe9</body></html>", "not UTF-8"},
    };
    testing_support::TempDir dir;
    for (const auto& [text, report] : cases) {
        fs::path page = dir / "page.html";
        platform::files::writeFileAtomic(page, text);
        auto check = checkPages({page});
        EXPECT_EQ(check.status, report.empty() ? 0 : 1) << text;
        if (report.empty())
            EXPECT_EQ(check.output, "") << text;
        else
            EXPECT_NE(check.output.find(report), std::string::npos) << text << "\n" << check.output;
    }
}
