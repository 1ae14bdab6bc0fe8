// Start-up, the start-up fetches, the front page's welcome note, and shutdown.
#pragma once

#include "core/app_state.h"
#include "core/page_commands.h"
#include "platform/http_client.h"

#include <string_view>

namespace vellumite {

inline constexpr std::string_view kSampleSiteTitle = "Welcome to Vellumite";

// The main window's life: start() runs the start-up steps, page events go to the dispatcher,
// shutdown() runs the unload steps. Owns the two start-up transfers.
class Shell {
public:
    Shell(AppState& app, CommandHandlers handlers);
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // The load handler's steps, in order; a failing step reports and the next one runs.
    void start();
    // The unload handler: closes the site database, unloads the secondary windows.
    void shutdown();

    Dispatcher& dispatcher() { return m_dispatcher; }

private:
    void fetchIntoFrontPage(platform::HttpClient& client, std::string_view servicePath,
                            std::string_view file, int frame);
    void frontPageLoaded(const std::string& address);
    void step(const std::function<void()>& work);

    AppState& m_app;
    Dispatcher m_dispatcher;
    platform::HttpClient m_updateMsg;  // "/versioninfonew.html"
    platform::HttpClient m_recentList; // "/recentlyupdatedClient.php"
};

} // namespace vellumite
