// Making, editing, saving and deleting user templates on a real site database.
#include "core/panes.h"
#include "platform/files.h"
#include "support/app_fixture.h"
#include "templates/user_templates.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using platform::MsgResult;
using platform::Value;

class UserTemplates : public ::testing::Test {
protected:
    UserTemplates() {
        std::filesystem::create_directories(f.dir / "templates");
        platform::files::writeFileAtomic(f.dir / "templates/plain.html", "<p>library</p>");
        f.app.logId = f.addSite("Garden", {{"UseDesignerTemplate", 0}});
        taken = addUserTemplate(f.app, "Taken", "<p>old</p>", false);
    }
    Value templateField(std::int32_t key, const std::string& field) {
        return f.db.scalar("SELECT " + field + " FROM VellumiteUserTemplate WHERE templateID=?",
                           {key});
    }
    long templateCount() {
        return static_cast<long>(
            *f.db.scalar("SELECT count(*) FROM VellumiteUserTemplate").integer());
    }
    void typeIntoEditor(const std::string& text) {
        f.host.doc(std::string(pane::TempEdit)).form("edit", {{"VellumiteHTMLText", text}});
    }
    testing_support::AppFixture f;
    std::int32_t taken = 0;
};

TEST_F(UserTemplates, ANameInUseIsAskedAgainAndTheCopyBecomesTheSitesTemplate) {
    f.host.inputAnswers = {std::string("taken"), std::string("Mine")};
    auto key = subMakeUserTemplate(f.app, "plain", true);
    ASSERT_TRUE(key);
    EXPECT_EQ(f.host.inputPrompts.size(), 2u);
    EXPECT_EQ(f.host.messages.at(0).text, kTemplateNameInUse);
    EXPECT_EQ(templateField(*key, "htmltext"), Value("<p>library</p>"));
    EXPECT_TRUE(templateField(*key, "bIsDesigner").toBool());
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), Value(*key));

    f.host.inputAnswers = {std::nullopt, std::string("  ")}; // cancelled, then blank
    EXPECT_FALSE(subMakeUserTemplate(f.app, "plain", false));
    EXPECT_FALSE(subMakeUserTemplate(f.app, "plain", false));
    EXPECT_EQ(templateCount(), 2);
}

TEST_F(UserTemplates, EditScreenShowsTheTextOrLeadsToTheSelectScreen) {
    subShowTemplateEdit(f.app, -2); // the site has none yet
    EXPECT_EQ(f.host.frontPane(), pane::TemplateSelect);

    f.db.execute("UPDATE VellumiteUserTemplate SET htmltext=? WHERE templateID=?",
                 {"<title><$VellumiteLogTitle$></title></textarea>", taken});
    subShowTemplateEdit(f.app, taken);
    EXPECT_EQ(f.host.frontPane(), pane::TempEdit);
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), Value(taken));
    const std::string page = f.page("edit.html");
    EXPECT_NE(page.find("&lt;title&gt;&lt;$VellumiteLogTitle$&gt;&lt;/title&gt;&lt;/textarea&gt;"
                        "</textarea>"),
              std::string::npos);
    EXPECT_NE(page.find("<$saveedit," + std::to_string(taken) + "$>"), std::string::npos);
}

TEST_F(UserTemplates, SavingAsksFirstAndSaveAsNewWithAnEmptyNameOverwrites) {
    typeIntoEditor("<p>new</p>");
    struct Case {
        bool asNew;
        std::optional<MsgResult> answer;
        std::optional<std::string> name;
        bool stored;
        long templates;
        std::string oldText;
    } cases[] = {
        {false, MsgResult::No, {}, false, 1, "<p>old</p>"},
        {false, MsgResult::Yes, {}, true, 1, "<p>new</p>"},
        {true, {}, std::nullopt, false, 1, "<p>old</p>"}, // cancelled
        {true, {}, std::string(""), true, 1, "<p>new</p>"},
        {true, {}, std::string("Other"), true, 2, "<p>old</p>"},
    };
    for (const auto& c : cases) {
        f.db.execute("DELETE FROM VellumiteUserTemplate WHERE templateID<>?", {taken});
        f.db.execute("UPDATE VellumiteUserTemplate SET htmltext='<p>old</p>'");
        if (c.answer)
            f.host.msgAnswers = {*c.answer};
        f.host.inputAnswers = {c.name};
        EXPECT_EQ(subSaveEditedTemplate(f.app, taken, c.asNew), c.stored);
        EXPECT_EQ(templateCount(), c.templates);
        EXPECT_EQ(templateField(taken, "htmltext"), Value(c.oldText));
        const std::int32_t used = *f.siteField(f.app.logId, "UseDesignerTemplate").integer();
        if (c.stored) {
            EXPECT_EQ(templateField(used, "htmltext"), Value("<p>new</p>"));
        }
    }
}

TEST_F(UserTemplates, DeletingAsksOnlyWhenSitesUseItAndResetsThoseSites) {
    const std::int32_t other =
        f.addSite("Other", {{"UseDesignerTemplate", taken}, {"TemplatedHTML", "<p>copy</p>"}});
    const std::int32_t unused = addUserTemplate(f.app, "Spare", "", false);
    subDeleteUserTemplate(f.app, unused);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(templateCount(), 1);

    f.host.msgAnswers = {MsgResult::No, MsgResult::Yes};
    for (bool deleted : {false, true}) {
        subDeleteUserTemplate(f.app, taken);
        EXPECT_EQ(f.host.messages.back().text, kDeleteUsedTemplate);
        EXPECT_EQ(f.host.messages.back().title, "Delete template?");
        EXPECT_EQ(templateCount(), deleted ? 0 : 1);
        EXPECT_EQ(f.siteField(other, "UseDesignerTemplate"), Value(deleted ? 0 : taken));
        EXPECT_EQ(f.siteField(other, "TemplatedHTML"), Value(deleted ? "" : "<p>copy</p>"));
    }
}

} // namespace
} // namespace vellumite
