// Start-up and shutdown against a real app folder and real SQLite.
#include "core/panes.h"
#include "platform/files.h"
#include "shell/startup.h"
#include "store/app_folder.h"
#include "support/fake_host.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using platform::DocPath;
using testing::FakeHost;
namespace fs = std::filesystem;

class Startup : public ::testing::Test {
protected:
    Startup() : host({kPaneNames.begin(), kPaneNames.end()}, &loop) {
        prepareAppFolder(dir.path(), testing_support::sourceShare());
    }
    std::unique_ptr<AppState> makeApp(bool online, const std::string& serviceUrl) {
        Settings s;
        s.online = online;
        s.serviceUrl = serviceUrl;
        return std::make_unique<AppState>(loop, host, dir.path(), s);
    }
    bool navigated(const DocPath& where, const fs::path& file) const {
        for (const auto& [path, address] : host.navigations)
            if (path == where && address == file.string())
                return true;
        return false;
    }
    fs::path html(const std::string& name) const { return dir.path() / "html" / name; }

    testing_support::TempDir dir;
    platform::EventLoop loop;
    FakeHost host;
};

TEST_F(Startup, OfflineStartShowsTheFrontPageAndTheWelcomeNoteAndShutdownUndoesIt) {
    auto app = makeApp(false, "http://127.0.0.1:1");
    app->postListPage = 7;
    host.form("frmPublish");
    Shell shell(*app, CommandHandlers{});
    shell.start();

    ASSERT_TRUE(app->database && app->database->isOpen());
    EXPECT_EQ(app->postListPage, 1);
    EXPECT_TRUE(navigated({"webTemplateDesigner", {}}, html("template-design.html")));
    EXPECT_EQ(host.frontPane(), "webFrontpage");
    EXPECT_EQ(host.location({"webFrontpage", {}}), html("template-frontpage.html").string());
    EXPECT_EQ(host.findForm("frmPublish"), nullptr);
    EXPECT_TRUE(host.messages.empty());

    // The welcome note follows the front page, and only while the sample site exists.
    host.fireDocumentComplete("webFrontpage", html("template-frontpage.html").string());
    EXPECT_TRUE(navigated({"webFrontpage", {1}}, html("tooltips/welcome.html")));
    host.navigations.clear();
    host.fireDocumentComplete("webFrontpage", html("newlog.html").string()); // not the front page
    EXPECT_TRUE(host.navigations.empty());
    app->db().execute("DELETE FROM VellumiteLog WHERE LogTitle=?", {"Welcome to Vellumite"});
    host.fireDocumentComplete("webFrontpage", html("template-frontpage.html").string());
    EXPECT_TRUE(host.navigations.empty());

    host.form("frmImage").show();
    shell.shutdown();
    EXPECT_FALSE(app->database.has_value());
    EXPECT_EQ(host.findForm("frmImage"), nullptr);
}

// Fetched pages fill frames 2 and 3 whether they come before or after the front page has
// loaded: see the browser test of the front page.
TEST_F(Startup, AFailedFetchChangesNothingAndSaysNothing) {
    auto app = makeApp(true, "http://127.0.0.1:1");
    Shell shell(*app, CommandHandlers{});
    shell.start();
    loop.runUntil([] { return false; }, 500ms);
    EXPECT_FALSE(fs::exists(html("recentlyUpdated.html")));
    EXPECT_FALSE(fs::exists(html("versioninfonew.html")));
    for (const auto& [path, address] : host.navigations)
        EXPECT_TRUE(path.frames.empty()) << address;
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Startup, UnopenableDatabaseIsReportedAndTheFrontPageStillShows) {
    fs::remove(dir / "vellumite.db");
    platform::files::writeFileAtomic(dir / "vellumite.db", "this is not a database, just text");
    auto app = makeApp(false, "http://127.0.0.1:1");
    Shell shell(*app, CommandHandlers{});
    shell.start();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind("error [", 0), 0u) << host.messages[0].text;
    EXPECT_FALSE(app->database.has_value());
    EXPECT_EQ(host.frontPane(), "webFrontpage");
    // Later work on the database fails with the engine's own error, shown, not a crash.
    host.fireDocumentComplete("webFrontpage", html("template-frontpage.html").string());
    EXPECT_THROW(app->db(), platform::DbError);
}

} // namespace
} // namespace vellumite
