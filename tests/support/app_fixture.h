// An app folder with the shipped editor pages, a real site database and a FakeHost, for tests
// of page commands.
#pragma once

#include "core/app_state.h"
#include "core/page_commands.h"
#include "support/fake_host.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

class AppFixture {
public:
    // The shipped share/html/ is copied into html/ of a fresh app folder; with `sample`, the
    // database holds the sample site.
    explicit AppFixture(bool sample = false);

    // A page command's context as the dispatcher makes it, with `handlers` as its table.
    vellumite::CommandContext context(std::string_view pane, std::string argument = {},
                                      std::int32_t key = 0);

    // A site row with these fields (name, value). Returns its LogID.
    std::int32_t addSite(const std::string& title,
                         const std::vector<std::pair<std::string, platform::Value>>& fields = {});
    // One field of a site row.
    platform::Value siteField(std::int32_t logId, const std::string& field);

    // The text of html/<name> in the app folder, the name matched without regard to case.
    std::string page(std::string_view name) const;

    TempDir dir;
    platform::Database db;
    platform::EventLoop loop;
    vellumite::testing::FakeHost host;
    vellumite::AppState app;
    // Empty: a handler a test has not set says it is not available.
    vellumite::CommandHandlers handlers;
};

} // namespace testing_support
