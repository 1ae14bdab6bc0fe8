// The process state and its small helpers.
#include "core/app_state.h"

#include "platform/online.h"

#include <cstdlib>

namespace vellumite {

namespace fs = std::filesystem;

AppState::AppState(platform::EventLoop& loop_, platform::Host& host_, fs::path appFolder_,
                   Settings settings_)
    : loop(loop_), host(host_), appFolder(std::move(appFolder_)), settings(std::move(settings_)),
      quitNow([] { std::_Exit(0); }) {}

platform::Database& AppState::db() {
    if (!database || !database->isOpen())
        throw platform::DbError(platform::dberr::ObjectClosed, "Object invalid or no longer set.");
    return *database;
}

bool Settings::isOnline() const {
    if (online)
        return *online;
    return platform::systemOnline();
}

bool AppState::isOnline() const {
    return settings.isOnline();
}

fs::path AppState::htmlFile(std::string_view name) const {
    return appFolder / "html" / fs::path(name);
}

fs::path AppState::appFile(std::string_view relative) const {
    return appFolder / fs::path(relative);
}

namespace {

std::string joinAddress(const std::string& base, std::string_view path) {
    std::string out = base;
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    if (!path.empty() && path.front() != '/')
        out += '/';
    out += path;
    return out;
}

} // namespace

std::string Settings::serviceAddress(std::string_view path) const {
    return joinAddress(serviceUrl, path);
}

std::string AppState::serviceAddress(std::string_view path) const {
    return settings.serviceAddress(path);
}

std::string AppState::alertsAddress(std::string_view path) const {
    return joinAddress(settings.alertsUrl, path);
}

} // namespace vellumite
