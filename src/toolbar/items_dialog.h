// The items dialog (the ten saved search lines and four links) and the band's pop-up menu.
#pragma once

#include "toolbar/band_browser.h"
#include "toolbar/settings_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

inline constexpr int kItemCount = 10;
inline constexpr std::string_view kItemsTooltip = "Enter your search terms then click 'Save'";

struct ItemsLink {
    std::string_view control;
    std::string_view caption;
};
inline constexpr std::array<ItemsLink, 4> kItemsLinks = {{
    {"lblScrapBook", "  View Collection"},
    {"lblHomepage", "  Vellumite Homepage"},
    {"lblHelp", "  Vellumite Help"},
    {"lblLaunch", "  Launch Vellumite"},
}};

// Colours as the dialog's form stored them: &HBBGGRR.
inline constexpr std::uint32_t kLinkHoverColour = 0xFFC0C0;
inline constexpr std::uint32_t kLinkColour = 0x99CCFF;

// "#rrggbb" for a colour stored as &HBBGGRR.
std::string cssColour(std::uint32_t bgr);
// The background of each of the four links while the mouse is over link `hovered` (0 to 3),
// or over the dialog itself or one of its frames (-1).
std::array<std::string, 4> linkColours(int hovered);

// The ten lines "useritem1" to "useritem10".
std::vector<std::string> storedItems(const SettingsFile& settings);
// Stores `lines` (ten at most; missing ones stored empty) in one write.
void storeItems(SettingsFile& settings, const std::vector<std::string>& lines);

// Menu choices beyond the stored lines (1 to 10).
inline constexpr int kMenuClearAll = 12;
inline constexpr int kMenuHelp = 14;
inline constexpr int kMenuAbout = 15;

// The band's pop-up menu: each non-empty stored line (its number as the choice), a separator,
// "Clear All", a separator, "Help" and "About".
std::vector<MenuItem> popupMenu(const std::vector<std::string>& items);

} // namespace vellumite::toolbar
