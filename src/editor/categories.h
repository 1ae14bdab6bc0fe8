// Categories: made and renamed in the settings pane, given to posts through the chooser beside
// the post editor.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellumite {

inline constexpr std::string_view kNoCategories =
    "<table cellpadding=5><tr><td>You have not created and categories for this site. You can "
    "create categories under the SETTINGS tab.</td></tr></table>";

// html/categorylist.html: the site's categories, each leading to "<$setCategory-…$>" for post
// `postId`; a site without categories gets kNoCategories instead of the list.
void subBuildCategoryChooser(AppState& app, std::int32_t postId);

// "<$category-N$>": the chooser built for post N and shown in its box.
void subShowCategoryChooser(AppState& app, std::int32_t postId);

// "<$setCategory-N,name,id$>" (or "N,id"): post N filed under category `id`, by the name the
// category has (the name in the command when the category is gone); the chooser closed and the
// current posts shown from set 1.
void subSetPostCategory(AppState& app, const std::vector<std::string>& argument);

// "<$removecategory-N$>": post N's category name emptied (its categoryID stays), the current
// posts shown from set 1.
void subClearPostCategory(AppState& app, std::int32_t postId);

// html/categorycreate.html: the site's categories with the number of posts filed under each.
void subBuildCategoryPage(AppState& app);

// "<$editCategory-N$>": category N put into the settings' category form, its box shown.
void subEditCategory(AppState& app, std::int32_t categoryId);

// "<$savecategory$>": the category form stored: a new category, the edited one renamed, or,
// with an empty name, the edited one deleted (a new one with no name stores nothing). The
// form is emptied and the category page shown again.
void subSaveCategory(AppState& app);

// "<$deleteCategory-N$>": category N deleted at once; posts keep their category fields.
void subDeleteCategory(AppState& app, std::int32_t categoryId);

} // namespace vellumite
