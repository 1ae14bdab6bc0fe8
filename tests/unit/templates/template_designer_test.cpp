// The designer: its page, the property commands on the shown design, saving and merging.
#include "core/panes.h"
#include "support/app_fixture.h"
#include "templates/template_designer.h"
#include "templates/user_templates.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::DocPath;
using platform::MsgResult;
using platform::Value;

constexpr const char* kHtml = "<html><STYLE type=\"text/css\">#archive{}</STYLE><h1 id=title>"
                              "<$VellumiteLogTitle$></h1><p><$copyright$> <$NextSet$></p></html>";

class Designer : public ::testing::Test {
protected:
    Designer() {
        f.app.logId = f.addSite("Garden", {{"displayTitle", "A & B"}, {"CopyrightNotice", "Ann"}});
        design = addUserTemplate(f.app, "Look", kHtml, true);
        auto& page = f.host.doc(std::string(pane::TemplateDesigner));
        page.form("TemplateID", {{"ID", std::to_string(design)}});
        page.elements["savebutton"];
        shown().styleSheets[0] = "#archive { color: red; }";
    }
    testing::FakeDocument& shown() {
        return f.host.doc(DocPath{std::string(pane::TemplateDesigner), {0}});
    }
    Value field(std::int32_t key, const std::string& name) {
        return f.db.scalar("SELECT " + name + " FROM VellumiteUserTemplate WHERE templateID=?",
                           {key});
    }
    testing_support::AppFixture f;
    std::int32_t design = 0;
};

TEST_F(Designer, StyleBlocksAndElementRules) {
    struct Case {
        std::string html, css, merged;
    } cases[] = {
        {"<style>a{}</style><style>b{}</style>", "x{}", "<style>x{}</style><style>b{}</style>"},
        {"<style>a{}</style>", "", "<style>a{}</style>"}, // nothing saved yet
        {"<p>no block</p>", "x{}", "<p>no block</p>"},    // stored unchanged
        {"<styles><Style media=all>a{}</style>", "x{}", "<styles><Style media=all>x{}</style>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withStyleSheet(c.html, c.css), c.merged) << c.html;
    EXPECT_EQ(designRule("title"), 9);
    EXPECT_EQ(designRule("copyright"), 5);
    EXPECT_EQ(designRule("sidebar"), 0);
}

TEST_F(Designer, ShowsTheSavedDesignFilledWithTheSiteAndSamples) {
    f.db.execute("UPDATE VellumiteUserTemplate SET cssText='#archive{color:blue}'");
    subShowDesigner(f.app, design);
    EXPECT_EQ(f.page("designedit.html"),
              "<html><STYLE type=\"text/css\">#archive{color:blue}</STYLE><h1 id=title>A &amp; B"
              "</h1><p>Copyright Ann Next</p></html>");
    EXPECT_EQ(f.host.doc(std::string(pane::TemplateDesigner)).elements["savebutton"].text,
              "SAVE Look");
    EXPECT_EQ(shown().location, f.app.htmlFile("designedit.html").string());
    EXPECT_EQ(f.host.frontPane(), pane::TemplateDesigner);
}

TEST_F(Designer, PropertyCommandsSetSinglePropertiesOfTheElementsRule) {
    subDesignProperty(f.app, "<$background", {"red; color: blue", "title"});
    subDesignProperty(f.app, "<$border", {"#123456", "nowhere"});
    subDesignProperty(f.app, "<$textfont", {"Times New Roman", "2rem", "home"});
    using Props = std::map<std::string, std::string>;
    EXPECT_EQ((shown().styleRules[{0, 9}]), (Props{{"background", "red; color: blue"},
                                                   {"background-color", "red; color: blue"}}));
    EXPECT_EQ(
        (shown().styleRules[{0, 0}]),
        (Props{{"border-color", "#123456"}, {"border-style", "solid"}, {"border-width", "1px"}}));
    EXPECT_EQ((shown().styleRules[{0, 7}]),
              (Props{{"font-family", "Times New Roman"}, {"font-size", "2rem"}}));
    auto& page = f.host.doc(std::string(pane::TemplateDesigner));
    EXPECT_EQ((page.styleRules[{1, 2}]), (Props{{"background-color", "#123456"}}));
    EXPECT_THROW(subDesignProperty(f.app, "<$align", {"left"}), std::invalid_argument);
}

TEST_F(Designer, SavingStoresAndMergesTheSheetAndSaysWhatComesNext) {
    f.host.msgAnswers = {MsgResult::No};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::Over), AfterSave::Nothing);
    EXPECT_EQ(field(design, "cssText"), Value(""));

    // Not the site's template: stored, merged, and back to the select screen.
    f.host.msgAnswers = {MsgResult::Yes};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::Over), AfterSave::Select);
    EXPECT_EQ(field(design, "cssText"), Value("#archive { color: red; }"));
    EXPECT_NE(field(design, "htmltext").toText().find(">#archive { color: red; }</STYLE>"),
              std::string::npos);

    f.host.inputAnswers = {std::string("Copy")};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::AsNew), AfterSave::Editor);
    const std::int32_t copy = *f.siteField(f.app.logId, "UseDesignerTemplate").integer();
    EXPECT_NE(copy, design);
    EXPECT_EQ(field(copy, "templatename"), Value("Copy"));
    EXPECT_EQ(field(copy, "htmltext"), field(design, "htmltext"));
}

} // namespace
} // namespace vellumite
