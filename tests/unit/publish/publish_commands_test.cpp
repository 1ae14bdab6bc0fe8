// The publishing commands through FakeHost: the site's directory entry, and publish opening
// its window.
#include "publish/publish_commands.h"

#include "core/panes.h"
#include "publish/publish_window.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(PublishCommands, SiteSetupOpensTheDirectoryEntryWithTheEncodedNameInANewWindow) {
    testing_support::AppFixture f;
    f.app.settings.serviceUrl = "http://service.test/";
    f.app.logId = f.addSite("Mine", {{"displayTitle", "My Log & Co"}, {"LogServerID", 42}});
    subSiteSetup(f.app);
    ASSERT_EQ(f.host.openedWindows.size(), 1u);
    EXPECT_EQ(f.host.openedWindows[0].first,
              "http://service.test/siteSetup.php?logserverid=42&sitename=My%20Log%20%26%20Co");
    EXPECT_EQ(f.host.openedWindows[0].second, "_blank");
}

TEST(PublishCommands, PublishStartsItsWindowAndASiteWithoutTemplateGoesToTheTemplates) {
    testing_support::AppFixture f;
    f.app.settings.online = true;
    f.app.logId = f.addSite("Mine", {{"ftplocation", "127.0.0.1"},
                                     {"ftpusername", "u"},
                                     {"ftppassword", "p"},
                                     {"UseDesignerTemplate", 0}});
    int pagesMade = 0, templateScreens = 0;
    installPublishCommands(f.handlers, [&](AppState&, std::int32_t) {
        ++pagesMade;
        return std::unique_ptr<SitePages>();
    });
    f.handlers.showTemplateSelect = [&](CommandContext&) { ++templateScreens; };
    for (auto command : {&CommandHandlers::publish, &CommandHandlers::archPublish}) {
        auto ctx = f.context(pane::Content);
        (f.handlers.*command)(ctx);
        ASSERT_NE(f.host.findForm(std::string(kPublishForm)), nullptr);
        f.loop.runUntil([&] { return f.host.findForm(std::string(kPublishForm)) == nullptr; },
                        std::chrono::seconds(10));
    }
    EXPECT_EQ(templateScreens, 2);
    EXPECT_EQ(pagesMade, 0);
    EXPECT_EQ(f.host.messages.size(), 2u);
    EXPECT_EQ(f.host.messages[1].text, kNoTemplateMessage);
}

} // namespace
} // namespace vellumite
