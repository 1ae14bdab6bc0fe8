// Downloading offered templates from the fake web service into a real app folder.
#include "core/panes.h"
#include "support/app_fixture.h"
#include "support/fake_service.h"
#include "templates/template_downloads.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Downloads : public ::testing::Test {
protected:
    Downloads() : service({"--offered", "fresh,bright", "--broken", "cracked"}) {
        f.app.settings.serviceUrl = service.url();
        f.app.logId = f.addSite("Garden");
        for (const char* link : {"importlink", "usedefault", "breaker"})
            select().elements[link];
    }
    testing::FakeDocument& select() { return f.host.doc(std::string(pane::TemplateSelect)); }
    void runToTheEnd() {
        ASSERT_TRUE(f.loop.runUntil([&] { return !downloads.busy(); }, 20s));
    }
    testing::FakeDocument& list() {
        return f.host.doc(platform::DocPath{std::string(pane::TemplateSelect), {0}});
    }
    bool inLibrary(const std::string& file) { return fs::exists(f.dir / "templates" / file); }
    std::vector<std::string> askedFor() {
        std::vector<std::string> paths;
        for (const auto& r : service.requests())
            paths.push_back(r["path"].get<std::string>());
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    testing_support::FakeService service;
    testing_support::AppFixture f;
    TemplateDownloads downloads; // gone before the loop and the app it reports to
};

TEST_F(Downloads, TickedTemplatesAreFetchedWholeAndTheSelectScreenIsRebuilt) {
    downloads.showOffered(f.app);
    ASSERT_TRUE(f.loop.runUntil([&] { return !list().bodyHtml.empty(); }, 20s));
    EXPECT_NE(list().bodyHtml.find("value=\"bright\""), std::string::npos);
    EXPECT_EQ(list().bodyHtml.find("<body"), std::string::npos);
    EXPECT_EQ(select().elements["importlink"].attributes["href"], "<$selectmode$>");
    EXPECT_EQ(select().elements["usedefault"].text, "IMPORT SELECTED");

    auto& form = list().form("offered", {});
    form.forms["offered"] = {{"template", "checkbox", "fresh", true},
                             {"template", "checkbox", "bright", true},
                             {"template", "checkbox", "unticked", false}};
    downloads.importSelected(f.app);
    EXPECT_NE(list().bodyHtml.find("<img src='progressspinneranim.gif' align=absmiddle "
                                   "name='htmlspinner'> Now downloading html for fresh.<BR>"),
              std::string::npos);
    EXPECT_EQ(select().elements["importlink"].text, "WAIT");
    runToTheEnd();
    for (const char* file : {"fresh.html", "fresh.gif", "bright.html", "bright.gif"})
        EXPECT_TRUE(inLibrary(file)) << file;
    EXPECT_NE(f.page("select-template.html").find("<$makeInstance-bright$>"), std::string::npos);
    EXPECT_EQ(f.host.frontPane(), pane::TemplateSelect);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST_F(Downloads, BadNamesAreRefusedAndFailedDownloadsAreSaidWhileTheRestGoOn) {
    downloads.download(f.app, {"../../evil", "cracked", "fresh"});
    EXPECT_NE(f.host.messages.at(0).text.find("refused"), std::string::npos);
    runToTheEnd();
    EXPECT_TRUE(inLibrary("fresh.html") && inLibrary("fresh.gif"));
    EXPECT_FALSE(inLibrary("cracked.html") || inLibrary("cracked.gif"));
    EXPECT_EQ(f.host.messages.back().text,
              "These downloads failed:\nhtml for cracked: the service answered 500\n"
              "thumbnail for cracked: the service answered 500");
    EXPECT_EQ(askedFor(),
              (std::vector<std::string>{"/templates/cracked.gif", "/templates/cracked.html",
                                        "/templates/fresh.gif", "/templates/fresh.html"}));
    EXPECT_FALSE(fs::exists(f.dir.path().parent_path().parent_path() / "evil.html"));
    EXPECT_EQ(f.host.frontPane(), pane::TemplateSelect);
}

} // namespace
} // namespace vellumite
