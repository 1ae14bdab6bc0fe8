// Making, saving and deleting user templates on a real site database.
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
    Value text(std::int32_t key) {
        return f.db.scalar("SELECT htmltext FROM VellumiteUserTemplate WHERE templateID=?", {key});
    }
    Value count() { return f.db.scalar("SELECT count(*) FROM VellumiteUserTemplate"); }
    testing_support::AppFixture f;
    std::int32_t taken = 0;
};

TEST_F(UserTemplates, ANameInUseIsAskedAgain) {
    f.host.inputAnswers = {std::string("taken"), std::string("Mine"), std::nullopt};
    auto key = subMakeUserTemplate(f.app, "plain", true);
    ASSERT_TRUE(key);
    EXPECT_EQ(f.host.inputPrompts.size(), 2u);
    EXPECT_EQ(f.host.messages.at(0).text, kTemplateNameInUse);
    EXPECT_EQ(text(*key), Value("<p>library</p>"));
    EXPECT_EQ(f.siteField(f.app.logId, "UseDesignerTemplate"), Value(*key));
    EXPECT_FALSE(subMakeUserTemplate(f.app, "plain", false)); // cancelled: nothing made
    EXPECT_EQ(count(), Value(2));
}

TEST_F(UserTemplates, SaveAsksFirstAndSaveAsNewWithAnEmptyNameOverwrites) {
    f.host.doc(std::string(pane::TempEdit)).form("edit", {{"VellumiteHTMLText", "<p>new</p>"}});
    struct Case {
        bool asNew;
        std::optional<std::string> name; // or the answer to "Save?": "" No, "y" Yes
        bool stored;
        int templates;
        const char* old;
    } cases[] = {
        {false, "", false, 1, "<p>old</p>"},          {false, "y", true, 1, "<p>new</p>"},
        {true, std::nullopt, false, 1, "<p>old</p>"}, {true, "", true, 1, "<p>new</p>"},
        {true, "Other", true, 2, "<p>old</p>"},
    };
    for (const auto& c : cases) {
        f.db.execute("DELETE FROM VellumiteUserTemplate WHERE templateID<>?", {taken});
        f.db.execute("UPDATE VellumiteUserTemplate SET htmltext='<p>old</p>'");
        f.host.msgAnswers = {c.name == "y" ? MsgResult::Yes : MsgResult::No};
        f.host.inputAnswers = {c.name};
        EXPECT_EQ(subSaveEditedTemplate(f.app, taken, c.asNew), c.stored);
        EXPECT_EQ(count(), Value(c.templates));
        EXPECT_EQ(text(taken), Value(c.old));
        if (c.stored) {
            EXPECT_EQ(text(*f.siteField(f.app.logId, "UseDesignerTemplate").integer()),
                      Value("<p>new</p>"));
        }
    }
}

TEST_F(UserTemplates, DeletingAsksOnlyWhenSitesUseItAndResetsThoseSites) {
    const std::int32_t other =
        f.addSite("Other", {{"UseDesignerTemplate", taken}, {"TemplatedHTML", "<p>copy</p>"}});
    subDeleteUserTemplate(f.app, addUserTemplate(f.app, "Spare", "", false));
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(count(), Value(1));

    f.host.msgAnswers = {MsgResult::No, MsgResult::Yes};
    for (bool deleted : {false, true}) {
        subDeleteUserTemplate(f.app, taken);
        EXPECT_EQ(f.host.messages.back().text, kDeleteUsedTemplate);
        EXPECT_EQ(count(), Value(deleted ? 0 : 1));
        EXPECT_EQ(f.siteField(other, "UseDesignerTemplate"), Value(deleted ? 0 : taken));
        EXPECT_EQ(f.siteField(other, "TemplatedHTML"), Value(deleted ? "" : "<p>copy</p>"));
    }
}

} // namespace
} // namespace vellumite
