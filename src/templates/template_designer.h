// The template designer: a design shown with sample content, its element rules changed through
// the page, and the resulting style sheet saved with the template.
#pragma once

#include "core/app_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// The designable elements, in the order of their rules in a design's first style sheet.
inline constexpr std::array<std::string_view, 10> kDesignElements = {
    "archive",   "background", "category", "contact", "content",
    "copyright", "highlight",  "home",     "link",    "title"};

// The rule of an element; an element that is not designable addresses rule 0.
int designRule(std::string_view element);

// `html` with the text of its first style block replaced by `css`. Unchanged when `css` is
// empty or the HTML has no style block.
std::string withStyleSheet(std::string_view html, std::string_view css);

// The designer's view of a template: its style block as last saved, and its tags filled with
// the open site's texts and sample content (exposed for tests).
std::string designerPage(AppState& app, std::string_view html, std::string_view css);

// Shows the designer for the user template `key`.
void subShowDesigner(AppState& app, std::int32_t key);

// <$background, <$font, <$border, <$textfont, <$align, <$visible (`command`) with their values:
// sets the properties of the element's rule in the shown design, one property at a time.
void subDesignProperty(AppState& app, std::string_view command,
                       const std::vector<std::string>& values);

enum class DesignSave { Over, AsNew };
enum class AfterSave { Nothing, Editor, Select };

// <$savetemplate$> (Over, after "Save?"), <$savetemplateas$> and <$savetemplatenew$> (AsNew):
// stores the shown design's style sheet with the template and merges it into its HTML. What to
// show next: the editor when the saved template is the site's, else the select screen.
AfterSave subSaveDesign(AppState& app, DesignSave how);

// Puts a template's saved style sheet into its HTML.
void subMergeStyleSheet(AppState& app, std::int32_t key);

// <$closetemplate$>: the select page rebuilt behind, the designer sent to the back.
void subCloseDesigner(AppState& app);

} // namespace vellumite
