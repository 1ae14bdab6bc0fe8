// The app folder fixture: shipped pages copied, database made from the shipped scripts.
#include "support/app_fixture.h"

#include "core/panes.h"
#include "platform/files.h"

#include <stdexcept>

namespace testing_support {

namespace {

std::vector<std::string> allPanes() {
    return {vellumite::kPaneNames.begin(), vellumite::kPaneNames.end()};
}

} // namespace

AppFixture::AppFixture(bool sample)
    : db(makeSiteDatabase(dir / "vellumite.db", sample)), host(allPanes(), &loop),
      app(loop, host, dir.path(), vellumite::Settings{}) {
    platform::files::copyMissing(sourceShare() / "html", dir / "html");
    app.database = db;
}

vellumite::CommandContext AppFixture::context(std::string_view pane, std::string argument,
                                              std::int32_t key) {
    return vellumite::CommandContext{app, handlers, std::string(pane), "", "", std::move(argument),
                                     key, {}};
}

std::int32_t
AppFixture::addSite(const std::string& title,
                    const std::vector<std::pair<std::string, platform::Value>>& fields) {
    db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle) VALUES (?, ?, ?)",
               {title, title, title});
    auto id =
        static_cast<std::int32_t>(*db.scalar("SELECT max(LogID) FROM VellumiteLog").integer());
    for (const auto& [field, value] : fields)
        db.execute("UPDATE VellumiteLog SET " + field + "=? WHERE LogID=?", {value, id});
    return id;
}

platform::Value AppFixture::siteField(std::int32_t logId, const std::string& field) {
    return db.scalar("SELECT " + field + " FROM VellumiteLog WHERE LogID=?", {logId});
}

std::string AppFixture::page(std::string_view name) const {
    // Found as the web host finds it: without regard to case.
    auto path = platform::files::resolveNoCase(dir.path(), "html/" + std::string(name));
    if (!path)
        throw std::runtime_error("no page html/" + std::string(name));
    return platform::files::readFile(*path);
}

} // namespace testing_support
