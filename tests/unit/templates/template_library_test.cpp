// The library folder and its commands, on a real app folder.
#include "platform/files.h"
#include "support/app_fixture.h"
#include "templates/template_library.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(Library, NamesRowsAndUseOfLibraryTemplates) {
    testing_support::AppFixture f;
    std::filesystem::create_directories(f.dir / "templates");
    for (const char* file : {"plain.html", "rqzd~Clean.html", "bad name.html", "notes.txt"})
        platform::files::writeFileAtomic(f.dir / "templates" / file, "<p>template</p>");
    f.app.logId = f.addSite("Garden", {{"UseDesignerTemplate", 7}});
    EXPECT_EQ(libraryNames(f.dir.path()), (std::vector<std::string>{"plain", "rqzd~Clean"}));
    for (std::string_view bad :
         {"", "../../evil", "a/b", "a\\b", "..", "a..b", "a b", "caf\xc3\xa9"})
        EXPECT_FALSE(isSafeTemplateName(bad)) << bad;
    EXPECT_FALSE(isSafeTemplateName(std::string("a\0b", 3)));

    struct Row {
        std::string name, caption;
        bool graphic;
    } rows[] = {{"rqzd~Clean", "Clean", true}, {"plain", "plain", false}};
    for (const auto& r : rows) {
        const std::string row = libraryRow(r.name);
        for (const std::string& part :
             {"<span class=\"caption\">" + r.caption + "</span>", "<$showprev-" + r.name + "$>",
              "../templates/" + r.name + ".gif\" width=\"70\" height=\"70\"",
              "<$makeInstance-" + r.name + "$>\">[HTML]"})
            EXPECT_NE(row.find(part), std::string::npos) << part;
        EXPECT_EQ(row.find("<$makeDesign-" + r.name + "$>\">[Graphic]") != std::string::npos,
                  r.graphic);
    }

    EXPECT_FALSE(subUseLibraryTemplate(f.app, "../templates/plain"));
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), platform::Value(7));
    ASSERT_TRUE(subUseLibraryTemplate(f.app, "plain"));
    EXPECT_EQ(f.siteField(f.app.logId, "TemplatedHTML"), platform::Value("<p>template</p>"));
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), platform::Value(0));
}

} // namespace
} // namespace vellumite
