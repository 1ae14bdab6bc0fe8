#include "recording_browser.h"
#include "store/editor_instance.h"
#include "support/temp_dir.h"
#include "toolbar/band.h"
#include "toolbar/capture.h"
#include "toolbar/editor_launch.h"
#include "toolbar/items_dialog.h"

#include <gtest/gtest.h>

using namespace vellumite::toolbar;
using testing_support::RecordingBrowser;

TEST(MartenBand, BandInfoFillsWhatTheMaskNamesAndTheSiteLoadsTheForm) {
    BandInfo all = GetBandInfo(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL |
                               DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR);
    EXPECT_EQ(all.minSize, (BandSize{131, 22}));
    EXPECT_EQ(all.maxSize, (BandSize{-1, 22}));
    EXPECT_EQ(all.integral, (BandSize{1, 1}));
    EXPECT_EQ(all.actualSize, (BandSize{200, 22}));
    EXPECT_EQ(all.title, "");
    EXPECT_EQ(all.modeFlags, 0);
    BandInfo some = GetBandInfo(DBIM_ACTUAL);
    EXPECT_TRUE(some.actualSize && !some.minSize && !some.title && !some.modeFlags);

    testing_support::TempDir dir;
    RecordingBrowser browser;
    MartenBand band(browser, BandEnvironment{dir / "app", dir.path(), dir / "bar.ini"});
    EXPECT_EQ(band.form(), nullptr);
    band.SetSite(7);
    ASSERT_NE(band.form(), nullptr);
    EXPECT_EQ(browser.view, (BandView{true, "0", true})) << "the form shows the green padlock";
    band.ShowDW(true);
    EXPECT_TRUE(band.shown());
    band.CloseDW();
    EXPECT_EQ(band.form(), nullptr);
    EXPECT_EQ(SettingsFile(dir / "bar.ini").get("userdetails", "logout"), "0");
    band.SetSite(std::nullopt);
    EXPECT_FALSE(band.site());
}

struct FrmBandTest : ::testing::Test {
    testing_support::TempDir dir;
    RecordingBrowser browser;
    FrmBand form{browser, {dir / "app", dir / "bin", dir / "bar.ini"}};
};

TEST_F(FrmBandTest, ItemsAreSavedAndHighlightedAndTheMenuListsThem) {
    form.highlighter().tabActivated(4, "http://page/");
    form.imgManualItems_Click();
    EXPECT_TRUE(browser.itemsShown);
    EXPECT_EQ(browser.itemLines, std::vector<std::string>(10));
    browser.counts = {{"Apple", 1}};
    form.Save_Click({"Apple", "", "Pie crust"});
    EXPECT_FALSE(browser.itemsShown);
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
    form.menuChoose(15);
    EXPECT_EQ(browser.about, "1.1.0");
    form.menuChoose(14);
    EXPECT_EQ(browser.calls.back(),
              "navigate 0 http://alerts.vellumite.example/tools/lite-help.html");
    form.menuChoose(12);
    EXPECT_EQ(storedItems(form.settings()), std::vector<std::string>(10));
    EXPECT_EQ(browser.view.counter, "0");
}

TEST_F(FrmBandTest, LinksOfTheItemsDialogAndTheirColours) {
    EXPECT_EQ(cssColour(kLinkHoverColour), "#c0c0ff");
    EXPECT_EQ(cssColour(kLinkColour), "#ffcc99");
    EXPECT_EQ(linkColours(2),
              (std::array<std::string, 4>{"#ffcc99", "#ffcc99", "#c0c0ff", "#ffcc99"}));
    EXPECT_EQ(linkColours(-1),
              (std::array<std::string, 4>{"#ffcc99", "#ffcc99", "#ffcc99", "#ffcc99"}));

    form.settings().set("Service", "ServiceUrl", "http://svc.test/");
    form.itemsLink_Click("lblHelp");
    form.itemsLink_Click("lblHomepage");
    form.itemsLink_Click("lblScrapBook");
    EXPECT_EQ(browser.taken(),
              (std::vector<std::string>{"navigate 0 http://svc.test/forum/index.php",
                                        "navigate 0 http://svc.test/", "open scrapbook"}));
    form.lblLaunch_Click();
    EXPECT_EQ(browser.message, kNotFoundMessage) << "no editor in " << (dir / "bin");

    auto lock = vellumite::claimEditorLock(dir.path());
    ASSERT_TRUE(lock);
    lock->publish("http://127.0.0.1:4321/s/token/");
    FrmBand inAppFolder{browser, {dir.path(), dir / "bin", dir / "bar.ini"}};
    inAppFolder.lblLaunch_Click();
    EXPECT_EQ(browser.editor, "http://127.0.0.1:4321/s/token/");
}

TEST_F(FrmBandTest, DropsAreStoredAndTheScrapbookCommandsWork) {
    form.highlighter().tabActivated(4, "http://page/");
    form.picGrabber_OLEDragDrop({"text/uri-list", "text/plain"}, "http://link/", "http://page/");
    form.picGrabber_OLEDragDrop({"text/plain"}, "one", "");
    form.picGrabber_OLEDragDrop({"text/plain", "text/html"}, "two", "http://other/");
    auto captures = readCaptures(dir / "app");
    ASSERT_EQ(captures.size(), 2u);
    EXPECT_EQ(captures[0].url, "http://page/") << "the band's current page";
    EXPECT_EQ(captures[1].url, "http://other/");

    const std::string page = "chrome-extension://x/scrapbook.html";
    form.scrapbookShow(8);
    EXPECT_NE(browser.page.find("<blockquote>one</blockquote>"), std::string::npos);
    form.scrapbookLink(8, page, "chrome-extension://x/delete," + std::to_string(captures[0].id));
    EXPECT_EQ(browser.page.find("<blockquote>one</blockquote>"), std::string::npos);
    form.scrapbookLink(8, page, "chrome-extension://x/save");
    EXPECT_EQ(browser.copy.find("scrapbook.html: <head>"), 0u);
    EXPECT_EQ(browser.copy.find("delete,"), std::string::npos);
    form.scrapbookLink(8, page, "http://other/delete,1");
    EXPECT_EQ(browser.calls.back(), "navigate 8 http://other/delete,1");
    EXPECT_EQ(readCaptures(dir / "app").size(), 1u) << "a captured address is no command";
    form.scrapbookLink(8, page, "chrome-extension://x/clear");
    EXPECT_TRUE(readCaptures(dir / "app").empty());
}
