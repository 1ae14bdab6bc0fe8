// The library folder, the select screen and the library commands, on a real app folder.
#include "core/fill_engine.h"
#include "core/panes.h"
#include "platform/files.h"
#include "support/app_fixture.h"
#include "templates/template_library.h"
#include "templates/user_templates.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class Library : public ::testing::Test {
protected:
    Library() {
        std::filesystem::create_directories(f.dir / "templates");
        for (const char* file : {"plain.html", "rqzd~Clean.html", "bad name.html", "notes.txt"})
            platform::files::writeFileAtomic(f.dir / "templates" / file, "<p>template</p>");
        f.app.logId = f.addSite("Garden", {{"UseDesignerTemplate", 0}});
        f.app.displayTitle = "Garden";
    }
    testing_support::AppFixture f;
};

TEST_F(Library, NamesThatMayBecomeFileNames) {
    for (std::string_view good : {"simple", "rqzd~Clean", "a.b-c_d"})
        EXPECT_TRUE(isSafeTemplateName(good)) << good;
    for (std::string_view bad :
         {"", "../../evil", "a/b", "a\\b", "..", "a..b", "a b", "caf\xc3\xa9"})
        EXPECT_FALSE(isSafeTemplateName(bad)) << bad;
    EXPECT_FALSE(isSafeTemplateName(std::string("a\0b", 3)));
    EXPECT_EQ(libraryNames(f.dir.path()), (std::vector<std::string>{"plain", "rqzd~Clean"}));
}

TEST_F(Library, RowsShowCaptionsAndTheDesignLinkOnlyForDesignableTemplates) {
    const std::string design = libraryRow("rqzd~Clean");
    EXPECT_NE(design.find("<span class=\"caption\">Clean</span>"), std::string::npos);
    EXPECT_NE(design.find("../templates/rqzd~Clean.gif\" width=\"70\" height=\"70\""),
              std::string::npos);
    for (const char* link : {"<$showprev-rqzd~Clean$>", "<$makeInstance-rqzd~Clean$>\">[HTML]",
                             "<$makeDesign-rqzd~Clean$>\">[Graphic]"})
        EXPECT_NE(design.find(link), std::string::npos) << link;
    const std::string plain = libraryRow("plain");
    EXPECT_NE(plain.find("<span class=\"caption\">plain</span>"), std::string::npos);
    EXPECT_NE(plain.find("<$makeInstance-plain$>\">[HTML]"), std::string::npos);
    EXPECT_EQ(plain.find("[Graphic]"), std::string::npos);
}

TEST_F(Library, SelectScreenListsLibraryAndUserTemplatesAndComesToTheFront) {
    addUserTemplate(f.app, "Mine <b>", "<p>x</p>", false);
    addUserTemplate(f.app, "Styled", "<p>y</p>", true);
    addUserTemplate(f.app, "", "<p>nameless</p>", false);
    subShowTemplateSelect(f.app);
    const std::string list = f.page("select-template.html");
    EXPECT_NE(list.find(libraryRow("plain") + libraryRow("rqzd~Clean")), std::string::npos);
    EXPECT_NE(list.find("<font color=\"green\">Mine &lt;b&gt;</font> - <a "
                        "href=\"<$usertemplate-1$>\">Use this template</a>"),
              std::string::npos);
    EXPECT_NE(list.find("<font color=\"purple\">Styled</font>"), std::string::npos);
    EXPECT_EQ(list.find("<$usertemplate-3$>"), std::string::npos); // no name, not listed
    EXPECT_NE(f.page("selectframe.html").find("Templates of Garden"), std::string::npos);
    EXPECT_EQ(f.host.frontPane(), pane::TemplateSelect);
    EXPECT_EQ(f.host.location({std::string(pane::TemplateDesigner), {}}),
              f.app.htmlFile("template-design.html").string());
}

TEST_F(Library, UsingAndPreviewingALibraryTemplateRefusesBadNames) {
    ASSERT_TRUE(subUseLibraryTemplate(f.app, "plain"));
    EXPECT_EQ(f.siteField(f.app.logId, "TemplatedHTML"), platform::Value("<p>template</p>"));
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), platform::Value(0));

    subPreviewLibraryTemplate(f.app, "rqzd~Clean");
    EXPECT_EQ(f.host.location({std::string(pane::TemplateSelect), {kSamplesFrameIndex}}),
              (f.dir / "templates/rqzd~Clean.html").string());
    EXPECT_THROW(subPreviewLibraryTemplate(f.app, "missing"), TemplateError);

    EXPECT_FALSE(subUseLibraryTemplate(f.app, "../templates/plain"));
    EXPECT_NE(f.host.messages.back().text.find("cannot be used"), std::string::npos);
    EXPECT_EQ(f.siteField(f.app.logId, "TemplatedHTML"), platform::Value("<p>template</p>"));
}

} // namespace
} // namespace vellumite
