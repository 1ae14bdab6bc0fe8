// The category chooser, a post's category, and the category page of the settings.
#include "editor/categories.h"

#include "core/content_page.h"
#include "core/fill_engine.h"
#include "core/page_text.h"
#include "core/panes.h"
#include "editor/current_posts.h"
#include "editor/sections.h"
#include "platform/numbers.h"
#include "platform/text.h"
#include "store/readers.h"

namespace vellumite {

namespace {

constexpr std::string_view kCategoryForm = "VellumiteCategory";

platform::Document settingsDocument(AppState& app) {
    return app.host.pane(pane::Setup).document();
}

void showCategoryPage(AppState& app) {
    subBuildCategoryPage(app);
    settingsDocument(app).frame(0).navigate(app.htmlFile("categorycreate.html"));
}

std::int32_t keyOf(const std::string& text) {
    return platform::clampToInt32(platform::leadingNumber(text));
}

void showPostsFromFirstSet(AppState& app) {
    subBuildCurrentPosts(app, 1);
    subShowCurrentPosts(app);
}

} // namespace

void subBuildCategoryChooser(AppState& app, std::int32_t postId) {
    auto categories = app.db().openRecordset(
        "SELECT categoryID, categoryname FROM VellumiteCategory WHERE LogID=? ORDER BY categoryID",
        {app.logId});
    ListPage page(app.appFolder, "template-categorylist.html", "VellumiteCategory",
                  {"<$VellumitePostId$>", "<$VellumiteCategory$>", "<$VellumiteCategoryID$>"});
    const std::string post = std::to_string(postId);
    bool any = false;
    for (; !categories.eof(); categories.moveNext(), any = true)
        page.add({post, listText(readText(categories["categoryname"])),
                  readText(categories["categoryID"])});
    std::string& text = page.expand();
    if (!any) {
        // Without records the block is gone and its markers stay: the message goes between.
        constexpr std::string_view kOpening = "<VellumiteCategory>";
        text.insert(text.find(kOpening) + kOpening.size(), kNoCategories);
    }
    page.write("categorylist.html");
}

void subShowCategoryChooser(AppState& app, std::int32_t postId) {
    subBuildCategoryChooser(app, postId);
    platform::Document doc = app.host.pane(pane::Content).document();
    doc.frame(editorframe::CategoryChooser).navigate(app.htmlFile("categorylist.html"));
    doc.setClassName("categoryselect", "categorypopupshow");
}

void subSetPostCategory(AppState& app, const std::vector<std::string>& argument) {
    if (argument.size() < 2) {
        app.host.msgBox("The page command needs a post and a category.", "Vellumite");
        return;
    }
    const std::int32_t postId = keyOf(argument.front());
    const std::int32_t categoryId = keyOf(argument.back());
    // A name with commas arrives in pieces.
    std::string name;
    for (std::size_t i = 1; i + 1 < argument.size(); ++i)
        name += (i > 1 ? "," : "") + argument[i];
    platform::Database& db = app.db();
    auto category = db.openRecordset(
        "SELECT categoryname FROM VellumiteCategory WHERE LogID=? AND categoryID=?",
        {app.logId, categoryId});
    if (!category.eof())
        name = readText(category["categoryname"]);
    else if (argument.size() < 3) {
        app.host.msgBox("The category " + std::to_string(categoryId) + " no longer exists.",
                        "Vellumite");
        return;
    }
    db.execute("UPDATE VellumitePosts SET Category=?, categoryID=? WHERE LogID=? AND postID=?",
               {name, categoryId, app.logId, postId});
    app.host.pane(pane::Content).document().setClassName("categoryselect", "categorypopuphide");
    showPostsFromFirstSet(app);
}

void subClearPostCategory(AppState& app, std::int32_t postId) {
    app.db().execute("UPDATE VellumitePosts SET Category='' WHERE LogID=? AND postID=?",
                     {app.logId, postId});
    showPostsFromFirstSet(app);
}

void subBuildCategoryPage(AppState& app) {
    // A post keeps its categoryID when its category is removed, and is still counted here.
    auto categories = app.db().openRecordset(
        "SELECT c.categoryID, c.categoryname, (SELECT count(*) FROM VellumitePosts p "
        "WHERE p.categoryID=c.categoryID) AS posts FROM VellumiteCategory c WHERE c.LogID=? "
        "ORDER BY c.categoryID",
        {app.logId});
    ListPage page(app.appFolder, "template-categorycreate.html", "VellumiteCategory",
                  {"<$VellumiteCategory$>", "<$VellumiteCategoryId$>", "<$catcount$>"});
    for (; !categories.eof(); categories.moveNext())
        page.add({listText(readText(categories["categoryname"])),
                  readText(categories["categoryID"]), readText(categories["posts"])});
    page.expand();
    page.write("categorycreate.html");
}

void subEditCategory(AppState& app, std::int32_t categoryId) {
    auto category = app.db().openRecordset(
        "SELECT categoryname FROM VellumiteCategory WHERE LogID=? AND categoryID=?",
        {app.logId, categoryId});
    if (category.eof()) {
        app.host.msgBox("The category " + std::to_string(categoryId) + " no longer exists.",
                        "Vellumite");
        showCategoryPage(app);
        return;
    }
    platform::Document doc = settingsDocument(app);
    doc.setFieldValue(std::string(kCategoryForm), "VellumiteCategory",
                      readText(category["categoryname"]));
    doc.setFieldValue(std::string(kCategoryForm), "catID", std::to_string(categoryId));
    doc.setClassName("categoryblock", "showCategorybox");
}

void subSaveCategory(AppState& app) {
    platform::Document doc = settingsDocument(app);
    const std::string form(kCategoryForm);
    const std::int32_t categoryId = keyOf(doc.fieldValue(form, "catID"));
    const std::string name = doc.fieldValue(form, "VellumiteCategory");
    platform::Database& db = app.db();
    if (categoryId != 0 && name.empty())
        db.execute("DELETE FROM VellumiteCategory WHERE LogID=? AND categoryID=?",
                   {app.logId, categoryId});
    else if (categoryId != 0)
        db.execute("UPDATE VellumiteCategory SET categoryname=? WHERE LogID=? AND categoryID=?",
                   {name, app.logId, categoryId});
    else if (!name.empty())
        db.execute("INSERT INTO VellumiteCategory (LogID, categoryname) VALUES (?, ?)",
                   {app.logId, name});
    doc.setClassName("categoryblock", "hideCategorybox");
    doc.setFieldValue(form, "catID", "0");
    doc.setFieldValue(form, "VellumiteCategory", "");
    showCategoryPage(app);
}

void subDeleteCategory(AppState& app, std::int32_t categoryId) {
    app.db().execute("DELETE FROM VellumiteCategory WHERE LogID=? AND categoryID=?",
                     {app.logId, categoryId});
    showCategoryPage(app);
}

} // namespace vellumite
