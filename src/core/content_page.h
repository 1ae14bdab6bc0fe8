// The content edit page's layout, which every screen that shows a list in it relies on: its
// five section tabs and the frames the lists are shown in.
#pragma once

#include "core/app_state.h"

#include <array>
#include <string_view>

namespace vellumite {

namespace section {
inline constexpr std::string_view RecentPosts = "ahrefrecentposts";
inline constexpr std::string_view Drafts = "ahrefdrafts";
inline constexpr std::string_view Archives = "ahrefarchives";
inline constexpr std::string_view Toolbar = "ahreftoolbar";
inline constexpr std::string_view Resources = "ahrefresources";
} // namespace section

// The tabs in the order their class names are set.
inline constexpr std::array<std::string_view, 5> kSectionTabs = {
    section::RecentPosts, section::Drafts, section::Archives, section::Toolbar, section::Resources};

// Frames of the content edit page, by index in document order.
namespace editorframe {
inline constexpr int SectionList = 0;
inline constexpr int UserLinks = 1;
inline constexpr int Highlights = 2;
inline constexpr int CategoryChooser = 3;
} // namespace editorframe

// Marks `tab` with the class "selectedsection", gives the other four the empty class, then
// shows html/<pageName> (already built) in the section list frame.
void showSection(AppState& app, std::string_view tab, std::string_view pageName);

} // namespace vellumite
