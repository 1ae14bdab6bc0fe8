// Categories: the settings' category form, the chooser, and a post's category.
#include "editor/categories.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;

class Categories : public editor_tests::EditorTest {
protected:
    Categories() {
        setup().form("VellumiteCategory", {{"VellumiteCategory", ""}, {"catID", "0"}});
        setup().elements["categoryblock"];
        content().elements["categoryselect"];
    }
    testing::FakeDocument& setup() { return host.doc(std::string(pane::Setup)); }
    // Saves the form as the user filled it in; returns the categories' names afterwards.
    std::string save(const std::string& name, const std::string& id) {
        setup().field("VellumiteCategory", "VellumiteCategory").value = name;
        setup().field("VellumiteCategory", "catID").value = id;
        subSaveCategory(app);
        return db.scalar("SELECT group_concat(categoryname, ';') FROM VellumiteCategory").toText();
    }
    std::string lastId() {
        return db.scalar("SELECT max(categoryID) FROM VellumiteCategory").toText();
    }
};

TEST_F(Categories, TheFormMakesRenamesAndWithAnEmptyNameDeletes) {
    EXPECT_EQ(save("Food", "0"), "Food");
    const std::string food = lastId();
    EXPECT_EQ(save("", "0"), "Food") << "a new category without a name stores nothing";
    EXPECT_EQ(host.location({std::string(pane::Setup), {0}}), htmlPath("categorycreate.html"));
    subEditCategory(app, std::stoi(food));
    EXPECT_EQ(setup().field("VellumiteCategory", "VellumiteCategory").value, "Food");
    EXPECT_EQ(setup().elements["categoryblock"].className, "showCategorybox");
    EXPECT_EQ(save("Meals", food), "Meals");
    EXPECT_EQ(save("", food), "") << "emptied while editing: deleted";
    EXPECT_EQ(setup().elements["categoryblock"].className, "hideCategorybox");
    EXPECT_EQ(setup().field("VellumiteCategory", "catID").value, "0");
}

TEST_F(Categories, APostIsFiledAndRemovedKeepingItsCategoryId) {
    subShowCategoryChooser(app, 5);
    EXPECT_TRUE(contains(page("categorylist.html"), std::string(kNoCategories)));
    save("Food, drink & more", "0");
    const std::string id = lastId();
    const std::int32_t p = addPost("dinner", "2024-01-01");
    subShowCategoryChooser(app, p);
    EXPECT_EQ(content().elements["categoryselect"].className, "categorypopupshow");
    EXPECT_TRUE(contains(page("categorylist.html"), "Food, drink &amp; more</a>"));

    subSetPostCategory(app, {std::to_string(p), id}); // as the chooser sends it
    EXPECT_EQ(post(p, "Category") + "|" + post(p, "categoryID"), "Food, drink & more|" + id);
    EXPECT_TRUE(contains(page("currentposts.html"), "[Remove from \"Food, drink &amp; more\"]"));
    subClearPostCategory(app, p);
    EXPECT_EQ(post(p, "Category") + "|" + post(p, "categoryID"), "|" + id);
    EXPECT_TRUE(contains(page("currentposts.html"), "[Add to Category]"));
    subBuildCategoryPage(app); // still counted by its key
    EXPECT_TRUE(contains(page("categorycreate.html"), "title=\"Posts filed under it\">1<"));
}

} // namespace
} // namespace vellumite
