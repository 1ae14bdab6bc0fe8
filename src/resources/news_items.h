// The imported news-alert items of the sites: storing them, the two lists they are shown in,
// and deleting one.
#pragma once

#include "core/app_state.h"
#include "resources/resource_exchange.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vellumite {

inline constexpr std::string_view kNewsListPage = "newslist.html";
inline constexpr std::string_view kNewsManagerPage = "newsmanager.html";
inline constexpr std::string_view kManageResourcesFrame = "template-manageresources.html";

// Adds the items to the site, every apostrophe removed from their texts first, all of them or
// none.
void storeNewsItems(platform::Database& db, std::int32_t logId, const std::vector<NewsItem>& items);
// Reads the service's answer and stores its items; an answer that is not well-formed XML throws
// ImportAnswerError and stores nothing. Returns the number stored.
std::size_t storeImportAnswer(platform::Database& db, std::int32_t logId, std::string_view answer);

// Builds one resources list (the items of every site, in table order) from `templateName` into
// html/<pageName>.
void subBuildNewsList(AppState& app, std::string_view templateName, std::string_view pageName);
// The Resources section of the content edit page, built anew.
void subShowResources(AppState& app);
// The manager pane, its list built anew, in front.
void subShowResourceManager(AppState& app);
// Asks, then deletes the item and rebuilds both lists; `fromManager` shows the manager pane
// afterwards, else the Resources section.
void subDeleteResource(AppState& app, std::int32_t alertId, bool fromManager);

} // namespace vellumite
