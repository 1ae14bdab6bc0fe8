// User templates: making them from library templates, using, editing, saving and deleting them.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kNewTemplatePrompt = "Please enter the name of your new template";
inline constexpr std::string_view kNewTemplateTitle = "Template name";
inline constexpr std::string_view kTemplateNameInUse =
    "This template name is in use.  Please select a new template name.";
inline constexpr std::string_view kRenamePrompt = "Please enter your templates new name.";
inline constexpr std::string_view kAlterForAllSites =
    "This will alter the template for all sites that use it, are you sure you wish to continue?";
inline constexpr std::string_view kDeleteUsedTemplate =
    "One or more sites are currently using this template. Confirm delete?";

// The edit screen's form and text area, and the designer page's template field.
inline constexpr std::string_view kEditForm = "edit";
inline constexpr std::string_view kEditText = "VellumiteHTMLText";

// Asks for a template name with `prompt`, again while a user template has the answer as its
// name. Nothing when cancelled; the answer as typed otherwise (possibly empty).
std::optional<std::string> askTemplateName(AppState& app, std::string_view prompt);

bool templateNameInUse(AppState& app, std::string_view name);

// Adds a user template row; returns its key.
std::int32_t addUserTemplate(AppState& app, const std::string& name, const std::string& html,
                             bool design);

// <$makeInstance-NAME / <$makeDesign-NAME: a user template made from the library template,
// named by the user, becomes the open site's template. Its key, or nothing when the user
// cancelled or the name was refused.
std::optional<std::int32_t> subMakeUserTemplate(AppState& app, std::string_view libraryName,
                                                bool design);

// The template edit screen for `key` (-2: the open site's own). A site without a template gets
// the select screen, a design the designer.
void subShowTemplateEdit(AppState& app, std::int32_t key);

// The page text of edit.html for a template (exposed for tests).
std::string templateEditPage(AppState& app, std::int32_t key, const std::string& name,
                             const std::string& html);

// <$saveedit,KEY (after "Save?") and <$savenew,KEY: stores the text area into the template, or
// into a new one when a name is given, and makes it the site's template. True when stored (the
// editor is shown next).
bool subSaveEditedTemplate(AppState& app, std::int32_t key, bool asNew);

// <$usertemplate-KEY: the site uses that template. False when it no longer exists (said).
bool subUseUserTemplate(AppState& app, std::int32_t key);

// <$deleteusertemplate-KEY: deletes the template, asking first when sites use it; those sites
// are left without a template. The select screen is shown next.
void subDeleteUserTemplate(AppState& app, std::int32_t key);

} // namespace vellumite
