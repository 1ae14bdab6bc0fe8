// The band's form: what the browser test of the add-on does not reach (menu numbers, the
// service's pages, a missing editor, drops that carry their own page, captured addresses).
#include "recording_browser.h"
#include "support/temp_dir.h"
#include "toolbar/band.h"
#include "toolbar/capture.h"
#include "toolbar/editor_launch.h"
#include "toolbar/items_dialog.h"

#include <gtest/gtest.h>

using namespace vellumite::toolbar;
using testing_support::RecordingBrowser;

struct FrmBandTest : ::testing::Test {
    testing_support::TempDir dir;
    RecordingBrowser browser;
    FrmBand form{browser, {dir / "app", dir / "bin", dir / "bar.ini"}};
};

TEST_F(FrmBandTest, SavedItemsSwitchHighlightingOnAndTheMenuNumbersThem) {
    form.settings().set("userdetails", "highlights", "off");
    form.highlighter().tabActivated(4, "http://page/");
    browser.counts = {{"Apple", 1}};
    form.Save_Click({"Apple", "", "Pie crust"});
    EXPECT_EQ(storedItems(form.settings())[2], "Pie crust");
    EXPECT_EQ(form.settings().get("userdetails", "highlights"), "on");
    EXPECT_EQ(browser.view.counter, "1");

    form.showMenu();
    std::vector<std::pair<int, std::string>> menu;
    for (const auto& item : browser.menu)
        menu.emplace_back(item.id, item.caption);
    EXPECT_EQ(menu, (std::vector<std::pair<int, std::string>>{{1, "Apple"},
                                                              {3, "Pie crust"},
                                                              {0, ""},
                                                              {12, "Clear All"},
                                                              {0, ""},
                                                              {14, "Help"},
                                                              {15, "About"}}));
    form.menuChoose(14);
    EXPECT_EQ(browser.calls.back(),
              "navigate 0 http://alerts.vellumite.example/tools/lite-help.html");
    form.menuChoose(12);
    EXPECT_EQ(storedItems(form.settings()), std::vector<std::string>(10));
    EXPECT_EQ(browser.view.counter, "0");
}

TEST_F(FrmBandTest, ItemsDialogLinksGoToTheServiceAndAMissingEditorIsSaid) {
    form.settings().set("Service", "ServiceUrl", "http://svc.test/");
    form.itemsLink_Click("lblHelp");
    form.itemsLink_Click("lblHomepage");
    EXPECT_EQ(browser.taken(),
              (std::vector<std::string>{"navigate 0 http://svc.test/forum/index.php",
                                        "navigate 0 http://svc.test/"}));
    form.lblLaunch_Click();
    EXPECT_EQ(browser.message, kNotFoundMessage) << "no editor in " << (dir / "bin");
}

TEST_F(FrmBandTest, DropsKeepTheirOwnPageAndACapturedAddressIsNoCommand) {
    form.highlighter().tabActivated(4, "http://page/");
    form.picGrabber_OLEDragDrop({"text/plain", "text/html"}, "two", "http://other/");
    auto captures = readCaptures(dir / "app");
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].url, "http://other/");
    form.scrapbookLink(8, "chrome-extension://x/scrapbook.html", "http://other/delete,1");
    EXPECT_EQ(browser.calls.back(), "navigate 8 http://other/delete,1");
    EXPECT_EQ(readCaptures(dir / "app").size(), 1u);
}
