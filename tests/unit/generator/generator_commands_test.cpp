#include "core/panes.h"
#include "generator/generator_commands.h"
#include "generator_fixture.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>

using namespace vellumite;
using generator_tests::kProbeTemplate;
using generator_tests::SiteFixture;

namespace {

std::vector<std::string> allPanes() {
    return {kPaneNames.begin(), kPaneNames.end()};
}

class GeneratorCommands : public ::testing::Test {
protected:
    GeneratorCommands() : host(allPanes(), &loop), app(loop, host, site.dir.path(), Settings{}) {
        app.database = site.db;
        app.logId = site.addSite(kProbeTemplate, 2, 2);
    }

    SiteFixture site;
    platform::EventLoop loop;
    vellumite::testing::FakeHost host;
    AppState app;
};

} // namespace

TEST_F(GeneratorCommands, PreviewWithoutTemplateShowsTheTemplateScreen) {
    site.set(app.logId, "UseDesignerTemplate", 0);
    EXPECT_FALSE(subPreview(app)) << "the template screen comes next";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kNoTemplateMessage);
    EXPECT_TRUE(host.openedWindows.empty());
    EXPECT_FALSE(site.exists("index.html"));
}

TEST_F(GeneratorCommands, PreviewDoesNothingWhilePublishing) {
    host.form("frmPublish").show();
    subPreview(app);
    EXPECT_FALSE(site.exists("index.html"));
    EXPECT_TRUE(host.openedWindows.empty());
}

TEST_F(GeneratorCommands, ArchiveMenuListsPostsBeyondTheTotalAsText) {
    std::filesystem::create_directories(site.dir / "html");
    platform::files::writeFileAtomic(site.dir / "html/Template-ArchiveMenu.html",
                                     "<ul>\n<ArchiveDates><li><$VellumitePostID$>|"
                                     "<$VellumiteNewsLinkText$>|<$VellumiteNewsBody$>|"
                                     "<$VellumiteNewsDateStamp$></li></ArchiveDates>\n</ul>");
    site.addPost(app.logId, "new", "2024-05-01");
    site.addPost(app.logId, "newer", "2024-05-02");
    auto old = site.addPost(app.logId, "<b>Old</b> & \"odd\" <img src=x onerror=alert(1)",
                            "2023-01-01", "08:09:10");
    for (const char* tab :
         {"ahrefrecentposts", "ahrefdrafts", "ahrefarchives", "ahreftoolbar", "ahrefresources"})
        host.doc(std::string(pane::Content)).elements[tab].className = "selectedsection";
    subShowArchives(app);
    EXPECT_EQ(platform::files::readFile(site.dir / "html/archivemenu.html"),
              "<ul>\r\n<ArchiveDates><li>" + std::to_string(old) +
                  "|Old &amp; &quot;odd&quot; &lt;img src=x onerror=alert(1)|by|"
                  "2023-01-01 08:09:10</li></ArchiveDates>\r\n</ul>");
    platform::DocPath frame0{std::string(pane::Content), {0}};
    ASSERT_FALSE(host.navigations.empty());
    EXPECT_EQ(host.navigations.back().first, frame0);
    EXPECT_EQ(host.doc(std::string(pane::Content)).elements["ahrefarchives"].className,
              "selectedsection");
    EXPECT_EQ(host.doc(std::string(pane::Content)).elements["ahrefdrafts"].className, "");
}
