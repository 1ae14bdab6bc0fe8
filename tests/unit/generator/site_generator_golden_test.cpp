// The checked-in site under tests/golden/generator must generate exactly the checked-in pages.
// After a deliberate change to the output, regenerate them with VELLUMITE_UPDATE_GOLDEN=1 and
// review the difference like any other change.
#include "generator/site_generator.h"
#include "platform/files.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

using namespace vellumite;
namespace fs = std::filesystem;

namespace {

const fs::path kGolden = fs::path(VELLUMITE_TESTS_DIR) / "golden" / "generator";

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::exists(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(Golden, GeneratedSitesMatchTheCheckedInPagesByteForByte) {
    testing_support::TempDir app;
    auto db = testing_support::makeSiteDatabase(app / "vellumite.db");
    db.executeScript(platform::files::readFile(kGolden / "site.sql"));
    platform::files::copyMissing(kGolden / "external", app / "external");
    bool update = std::getenv("VELLUMITE_UPDATE_GOLDEN") != nullptr;

    for (std::int32_t site : {1, 2}) {
        std::string name = "site" + std::to_string(site);
        GeneratorOptions options;
        options.appFolder = app.path();
        options.outputFolder = app / "out" / name;
        options.currentYear = 2024;
        GeneratedFiles files = generatePreview(db, site, options);
        SiteGenerator archive(db, site, options);
        GeneratedFiles archived = archive.generateArchive(false);
        files.insert(files.end(), archived.begin(), archived.end());

        fs::path expected = kGolden / "expected" / name;
        if (update) {
            fs::remove_all(expected);
            platform::files::copyMissing(options.outputFolder, expected);
            continue;
        }
        ASSERT_EQ(filesIn(options.outputFolder), filesIn(expected)) << name;
        for (const GeneratedFile& file : files) {
            std::string got = platform::files::readFile(options.outputFolder / file.name);
            EXPECT_EQ(file.length, got.size()) << name << "/" << file.name;
            EXPECT_EQ(got, platform::files::readFile(expected / file.name))
                << name << "/" << file.name << " differs from the checked-in page";
        }
    }
    if (update)
        GTEST_SKIP() << "golden pages rewritten under " << kGolden.string();
}
