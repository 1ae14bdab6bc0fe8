// The designer: merging style sheets, property commands on the shown design, saving.
#include "core/panes.h"
#include "support/app_fixture.h"
#include "templates/template_designer.h"
#include "templates/user_templates.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::MsgResult;
using platform::Value;
using Props = std::map<std::string, std::string>;

class Designer : public ::testing::Test {
protected:
    Designer() {
        f.app.logId = f.addSite("Garden");
        design =
            addUserTemplate(f.app, "Look", "<STYLE media=all>#archive{}</STYLE><p>x</p>", true);
        page().form("TemplateID", {{"ID", std::to_string(design)}});
        shown().styleSheets[0] = "#archive { color: red; }";
    }
    testing::FakeDocument& page() { return f.host.doc(std::string(pane::TemplateDesigner)); }
    testing::FakeDocument& shown() {
        return f.host.doc(platform::DocPath{std::string(pane::TemplateDesigner), {0}});
    }
    Value field(std::int32_t key, const std::string& name) {
        return f.db.scalar("SELECT " + name + " FROM VellumiteUserTemplate WHERE templateID=?",
                           {key});
    }
    testing_support::AppFixture f;
    std::int32_t design = 0;
};

TEST_F(Designer, MergeReplacesTheFirstStyleBlockOnlyWithASavedSheet) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"<style>a{}</style><style>b{}</style>", "x{}", "<style>x{}</style><style>b{}</style>"},
        {"<style>a{}</style>", "", "<style>a{}</style>"}, // nothing saved yet
        {"<p>no block</p>", "x{}", "<p>no block</p>"},    // stored unchanged
        {"<styles><Style media=all>a{}</style>", "x{}", "<styles><Style media=all>x{}</style>"},
    };
    for (const auto& [html, css, merged] : cases)
        EXPECT_EQ(withStyleSheet(html, css), merged) << html;
}

TEST_F(Designer, PropertyCommandsSetSinglePropertiesOfTheElementsRule) {
    subDesignProperty(f.app, "<$background", {"red; color: blue", "title"});
    subDesignProperty(f.app, "<$border", {"#123456", "sidebar"}); // not designable: rule 0
    EXPECT_EQ((shown().styleRules[{0, 9}]), (Props{{"background", "red; color: blue"},
                                                   {"background-color", "red; color: blue"}}));
    EXPECT_EQ(
        (shown().styleRules[{0, 0}]),
        (Props{{"border-color", "#123456"}, {"border-style", "solid"}, {"border-width", "1px"}}));
    EXPECT_EQ((page().styleRules[{1, 2}]), (Props{{"background-color", "#123456"}}));
    EXPECT_THROW(subDesignProperty(f.app, "<$align", {"left"}), std::invalid_argument);
}

TEST_F(Designer, SavingStoresAndMergesTheSheetAndSaysWhatComesNext) {
    f.host.msgAnswers = {MsgResult::No};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::Over), AfterSave::Nothing);
    EXPECT_EQ(field(design, "cssText"), Value(""));

    // Not the site's template: stored and merged all the same; then the select screen.
    f.host.msgAnswers = {MsgResult::Yes};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::Over), AfterSave::Select);
    EXPECT_EQ(field(design, "cssText"), Value("#archive { color: red; }"));
    EXPECT_EQ(field(design, "htmltext"),
              Value("<STYLE media=all>#archive { color: red; }</STYLE><p>x</p>"));

    f.host.inputAnswers = {std::string("Copy")};
    EXPECT_EQ(subSaveDesign(f.app, DesignSave::AsNew), AfterSave::Editor);
    const std::int32_t copy = *f.siteField(f.app.logId, "UseDesignerTemplate").integer();
    EXPECT_EQ(field(copy, "templatename"), Value("Copy"));
    EXPECT_EQ(field(copy, "htmltext"), field(design, "htmltext"));
}

} // namespace
} // namespace vellumite
