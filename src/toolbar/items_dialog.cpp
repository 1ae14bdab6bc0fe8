// The items dialog and the pop-up menu.
#include "toolbar/items_dialog.h"

#include <cstdio>

namespace vellumite::toolbar {

std::string cssColour(std::uint32_t bgr) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", bgr & 0xff, (bgr >> 8) & 0xff,
                  (bgr >> 16) & 0xff);
    return text;
}

std::array<std::string, 4> linkColours(int hovered) {
    std::array<std::string, 4> colours;
    for (int i = 0; i < 4; ++i)
        colours[static_cast<std::size_t>(i)] =
            cssColour(i == hovered ? kLinkHoverColour : kLinkColour);
    return colours;
}

std::vector<std::string> storedItems(const SettingsFile& settings) {
    std::vector<std::string> items;
    for (int i = 1; i <= kItemCount; ++i)
        items.push_back(settings.get(kUserSection, std::string(kUserItemKey) + std::to_string(i)));
    return items;
}

void storeItems(SettingsFile& settings, const std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < kItemCount; ++i) {
        auto index = static_cast<std::size_t>(i);
        values.emplace_back(std::string(kUserItemKey) + std::to_string(i + 1),
                            index < lines.size() ? lines[index] : std::string());
    }
    settings.set(kUserSection, values);
}

std::vector<MenuItem> popupMenu(const std::vector<std::string>& items) {
    std::vector<MenuItem> menu;
    for (std::size_t i = 0; i < items.size() && i < kItemCount; ++i)
        if (!items[i].empty())
            menu.push_back({static_cast<int>(i) + 1, items[i]});
    menu.push_back({});
    menu.push_back({kMenuClearAll, "Clear All"});
    menu.push_back({});
    menu.push_back({kMenuHelp, "Help"});
    menu.push_back({kMenuAbout, "About"});
    return menu;
}

} // namespace vellumite::toolbar
