// SitePages over SiteGenerator.
#include "app/site_pages.h"

#include "generator/site_generator.h"

namespace vellumite {

namespace {

std::vector<std::string> namesOf(const GeneratedFiles& files) {
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const GeneratedFile& file : files)
        names.push_back(file.name);
    return names;
}

class GeneratorPages : public SitePages {
public:
    GeneratorPages(platform::Database& db, std::int32_t logId, GeneratorOptions options)
        : m_generator(db, logId, std::move(options)) {}

    std::filesystem::path outputFolder() const override { return m_generator.outputFolder(); }
    std::int32_t itemPageCount() override { return m_generator.itemPageCount(); }
    std::string mainPage(std::int32_t itemPages) override {
        return m_generator.generatePage(1, "index.html", itemPages, 0, true).name;
    }
    std::string itemPage(std::int32_t n, std::int32_t itemPages) override {
        return m_generator.generatePage(n, itemPageFile(n), itemPages, n, false).name;
    }
    std::vector<std::string> categoryPages() override {
        return namesOf(m_generator.generateAllCategoryPages(false));
    }
    std::vector<std::string> archivePages() override {
        return namesOf(m_generator.generateArchive(false));
    }

private:
    SiteGenerator m_generator;
};

} // namespace

std::unique_ptr<SitePages> makeSitePages(platform::Database& db, std::int32_t logId,
                                         const std::filesystem::path& appFolder) {
    GeneratorOptions options;
    options.appFolder = appFolder;
    return std::make_unique<GeneratorPages>(db, logId, std::move(options));
}

} // namespace vellumite
