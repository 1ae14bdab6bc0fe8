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
    void save(const std::string& name, const std::string& id) {
        setup().field("VellumiteCategory", "VellumiteCategory").value = name;
        setup().field("VellumiteCategory", "catID").value = id;
        subSaveCategory(app);
    }
    std::string names() {
        std::string out;
        for (auto rs = db.openRecordset("SELECT categoryname FROM VellumiteCategory ORDER BY 1");
             !rs.eof(); rs.moveNext())
            out += rs["categoryname"].toText() + ";";
        return out;
    }
};

TEST_F(Categories, TheFormMakesRenamesAndWithAnEmptyNameDeletes) {
    save("Food", "0");
    save("", "0"); // a new category without a name stores nothing
    const std::string food = db.scalar("SELECT max(categoryID) FROM VellumiteCategory").toText();
    save("Travel", "0");
    EXPECT_EQ(names(), "Food;Travel;");
    EXPECT_EQ(host.location({std::string(pane::Setup), {0}}), htmlPath("categorycreate.html"));

    subEditCategory(app, std::stoi(food));
    EXPECT_EQ(setup().field("VellumiteCategory", "VellumiteCategory").value, "Food");
    EXPECT_EQ(setup().elements["categoryblock"].className, "showCategorybox");
    save("Meals", food);
    EXPECT_EQ(names(), "Meals;Travel;");
    save("", food); // emptied while editing: deleted
    EXPECT_EQ(names(), "Travel;");
    EXPECT_EQ(setup().elements["categoryblock"].className, "hideCategorybox");
    EXPECT_EQ(setup().field("VellumiteCategory", "catID").value, "0");
}

TEST_F(Categories, APostIsFiledAndRemovedKeepingItsCategoryId) {
    subShowCategoryChooser(app, 5);
    EXPECT_TRUE(contains(page("categorylist.html"), std::string(kNoCategories)));
    save("Food, drink & more", "0");
    const std::string id = db.scalar("SELECT max(categoryID) FROM VellumiteCategory").toText();
    const std::int32_t p = addPost("dinner", "2024-01-01");
    subShowCategoryChooser(app, p);
    EXPECT_EQ(content().elements["categoryselect"].className, "categorypopupshow");
    EXPECT_TRUE(contains(page("categorylist.html"), "Food, drink &amp; more</a>"));

    subSetPostCategory(app, {std::to_string(p), id}); // as the chooser sends it
    EXPECT_EQ(post(p, "Category") + "|" + post(p, "categoryID"), "Food, drink & more|" + id);
    EXPECT_EQ(content().elements["categoryselect"].className, "categorypopuphide");
    EXPECT_TRUE(contains(page("currentposts.html"), "[Remove from \"Food, drink &amp; more\"]"));
    subBuildCategoryPage(app);
    EXPECT_TRUE(contains(page("categorycreate.html"), "title=\"Posts filed under it\">1<"));

    subClearPostCategory(app, p);
    EXPECT_EQ(post(p, "Category") + "|" + post(p, "categoryID"), "|" + id);
    EXPECT_TRUE(contains(page("currentposts.html"), "[Add to Category]"));
    subDeleteCategory(app, std::stoi(id));
    EXPECT_EQ(names(), "");
    EXPECT_EQ(post(p, "categoryID"), id);
}

} // namespace
} // namespace vellumite
