// The template library: its files, the template select screen, using and previewing library
// templates, and the names that may become file names.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// A library name beginning with this can also be opened in the designer.
inline constexpr std::string_view kDesignPrefix = "rqzd~";
inline constexpr std::string_view kDefaultTemplate = "simple";
inline constexpr std::string_view kSamplesFrame = "Vellumitesamples";

// The frames of the select screen's page (selectframe.html): the list, and the preview named
// "Vellumitesamples".
inline constexpr int kListFrame = 0;
inline constexpr int kSamplesFrameIndex = 1;

// A name that becomes a file name beneath the templates folder: not empty, only ASCII letters,
// digits, "-", "_", "~" and ".", and never "..". Names from pages and from the network alike.
bool isSafeTemplateName(std::string_view name);

// The library's template names (file names ending ".html", without it), sorted. Files whose
// names could not be used by the screen's commands are left out.
std::vector<std::string> libraryNames(const std::filesystem::path& appFolder);

// The name as the select screen shows it: without the designer prefix.
std::string libraryCaption(std::string_view name);

// One row of the library list: the thumbnail linked to the preview, the caption, [HTML] and,
// for designable templates, [Graphic].
std::string libraryRow(std::string_view name);

// The text of templates/<name>.html. Throws TemplateError for a refused or missing name.
std::string readLibraryTemplate(const std::filesystem::path& appFolder, std::string_view name);

// Writes select-template.html (library and user templates) and selectframe.html, reloads the
// designer page, and shows the select screen; `toFront` false leaves the pane where it is.
void subShowTemplateSelect(AppState& app, bool toFront = true);

// <$usetemplate-NAME / <$usedefault$>: the library template becomes the site's own copy, and
// the site has no user template. False when the name is refused (said).
bool subUseLibraryTemplate(AppState& app, std::string_view name);

// <$showprev-NAME: the library template in the select screen's preview frame.
void subPreviewLibraryTemplate(AppState& app, std::string_view name);

// <$bigview NAME: the web service's large view of an offered template.
void subBigView(AppState& app, std::string_view name);

// Whether a name from a page or the network may be used; when not, says so, and nothing is to
// be read or written for it.
bool acceptTemplateName(AppState& app, std::string_view name);

// Sets the open site's user template.
void setSiteTemplate(AppState& app, std::int32_t templateId);

} // namespace vellumite
