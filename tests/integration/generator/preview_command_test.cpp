// `vellumite preview SITE` as a user runs it, on a fresh app folder.
#include "platform/database.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::TempDir;

TEST(PreviewCommand, SampleSiteByNameOrNumber) {
    TempDir dir;
    std::string data = "--data-dir '" + (dir / "app").string() + "' ";
    for (std::string site : {"'welcome to VELLUMITE'", "1"}) {
        auto run = testing_support::runVellumite(data + "preview " + site);
        ASSERT_EQ(run.status, 0) << run.output;
        std::string index = (dir / "app/html/output/index.html").string();
        EXPECT_NE(run.output.find(" files written ("), std::string::npos) << run.output;
        EXPECT_TRUE(run.output.ends_with(index + "\n")) << run.output;
        EXPECT_TRUE(std::filesystem::exists(index));
    }
}

TEST(PreviewCommand, UnknownSiteAndSiteWithoutTemplateFail) {
    TempDir dir;
    std::string data = "--data-dir '" + (dir / "app").string() + "' ";
    auto unknown = testing_support::runVellumite(data + "preview 'No such site'");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.output.find("no site named or numbered \"No such site\""),
              std::string::npos)
        << unknown.output;

    {
        auto db = platform::Database::open((dir / "app/vellumite.db").string());
        db.execute("INSERT INTO VellumiteLog (LogTitle, UseDesignerTemplate) VALUES ('Bare', 0)");
    }
    auto bare = testing_support::runVellumite(data + "preview Bare");
    EXPECT_EQ(bare.status, 1);
    EXPECT_NE(bare.output.find("You must create a template before previewing or publishing."),
              std::string::npos)
        << bare.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "app/html/output/index.html"));
}
