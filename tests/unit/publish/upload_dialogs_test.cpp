// The insert-image and insert-link dialogs: the history, the file box's rules, a chosen file
// measured, and what is said before any upload begins.
#include "core/panes.h"
#include "core/post_dialogs.h"
#include "core/post_insert.h"
#include "publish/upload_dialogs.h"
#include "publish/upload_session.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(UploadDialogs, AHistoryEntryFillsTheBoxes) {
    struct Case {
        std::string entry;
        ImageHistoryChoice choice;
    } cases[] = {
        {"/pics/a.png,3,3,", {"/pics/a.png", "3", "3", ""}},
        {"http://example.org/b.jpg,10,20,Seen, then kept",
         {"http://example.org/b.jpg", "10", "20", "Seen, then kept"}},
        {"one,two.gif,5,6,x", {"/images/one,two.gif", "5", "6", "x"}},
        {"c.gif", {"/images/c.gif", "", "", ""}},
    };
    for (const Case& c : cases) {
        const ImageHistoryChoice got = imageHistoryChoice(c.entry);
        EXPECT_EQ(std::tie(got.file, got.height, got.width, got.alt),
                  std::tie(c.choice.file, c.choice.height, c.choice.width, c.choice.alt))
            << c.entry;
    }
}

TEST(UploadDialogs, TheFileBoxRules) {
    EXPECT_EQ(remoteNameFor("C:\\fakepath\\Photo.GIF", true), "photo.gif");
    EXPECT_EQ(remoteNameFor("a\nb.gif", true), std::nullopt);
    for (const char* ok : {"", "0", "640"})
        EXPECT_TRUE(isImageDimension(ok)) << ok;
    for (const char* bad : {"-1", "12px", "1 onload=x", "4.5"})
        EXPECT_FALSE(isImageDimension(bad)) << bad;
}

class UploadDialogTest : public ::testing::Test {
protected:
    UploadDialogTest() {
        f.app.settings.online = false;
        f.app.logId = f.addSite("Log", {{"ftplocation", "127.0.0.1:2121"},
                                        {"ftpusername", "tester"},
                                        {"ftppassword", "s3cret"}});
        recordImageUse(f.db, f.app.logId, "photo.gif", "120", "80", "Holiday");
    }
    // A PNG header of 64 by 32 as the page would send it.
    void choose(platform::Form& form, const std::string& name) {
        auto file = std::make_unique<platform::PickedFile>(name);
        const std::string png =
            std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x40\0\0\0\x20", 24);
        file->append(png.data(), png.size());
        file->finish();
        form.deliverPick("cmdBrowse", std::move(file), "");
    }
    testing_support::AppFixture f;
};

TEST_F(UploadDialogTest, TheImageDialogMeasuresAChosenPictureAndUploadsOnlyWhatWasChosen) {
    showImageDialog(f.app, 7);
    platform::Form* dialog = f.host.findForm("frmImage");
    ASSERT_TRUE(dialog && dialog->visible() && dialog->snapshot()["topMost"].get<bool>());
    EXPECT_EQ(dialog->items("cboImageHistory"),
              std::vector<std::string>{"photo.gif,120,80,Holiday"});

    dialog->deliver("cboImageHistory", "click", {{"text", "photo.gif,120,80,Holiday"}}, "");
    EXPECT_EQ(dialog->text("txtFile"), "/images/photo.gif");
    EXPECT_EQ(dialog->text("txtImageHeight"), "120");
    EXPECT_EQ(dialog->text("txtImageWidth"), "80");
    EXPECT_EQ(dialog->text("txtAlt"), "Holiday");
    EXPECT_EQ(dialog->text("lblFileSize"), "File not found");

    choose(*dialog, "Photo.PNG");
    EXPECT_EQ(dialog->text("txtFile"), "Photo.PNG");
    EXPECT_EQ(dialog->text("txtImageWidth"), "64");
    EXPECT_EQ(dialog->text("txtImageHeight"), "32");
    EXPECT_EQ(dialog->text("lblFileSize"), "File is 24 bytes.");

    // Offline: said before anything is sent; the chosen file is kept for another try.
    dialog->deliver("cmdMakeURLLink", "click", {}, "");
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, kOfflinePrompt);
    EXPECT_EQ(f.host.messages[0].title, kUploadFailedTitle);

    // A path typed over the chosen file's name is no file to upload.
    dialog->deliver("txtFile", "change", {{"text", "C:\\pictures\\Photo.PNG"}}, "");
    EXPECT_EQ(dialog->text("lblFileSize"), "File not found");
    dialog->deliver("cmdMakeURLLink", "click", {}, "");
    EXPECT_EQ(
        f.host.messages.at(1).text,
        "There is no file C:\\pictures\\Photo.PNG to upload. Choose the picture with Browse.");

    dialog->deliverPick("cmdBrowse", nullptr, "big.gif is too large.");
    EXPECT_EQ(f.host.messages.at(2).text, "big.gif is too large.");
    dialog->deliver("Label1", "click", {}, "");
    EXPECT_FALSE(dialog->visible());
}

TEST_F(UploadDialogTest, TheLinkDialogOffersTheWindowSizeOnlyForANewWindow) {
    showLinkDialog(f.app);
    platform::Form* dialog = f.host.findForm("frmSelectURL");
    ASSERT_TRUE(dialog && dialog->visible());
    EXPECT_EQ(dialog->text("cboURLListing"), "http://");
    EXPECT_FALSE(dialog->enabled("txtWindowWidth"));
    dialog->deliver("chkNewWindow", "click", {{"checked", true}}, "");
    for (const char* control : {"chkPopup", "txtWindowWidth", "txtWindowHeight"})
        EXPECT_TRUE(dialog->enabled(control)) << control;
}

TEST_F(UploadDialogTest, AddressesQuotedBeforeTheLinkDialogWasMadeAreListedInIt) {
    offerLinkAddress(f.app, "http://a.example/");
    offerLinkAddress(f.app, "http://b.example/");
    offerLinkAddress(f.app, "http://a.example/");
    showLinkDialog(f.app);
    platform::Form* dialog = f.host.findForm("frmSelectURL");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->items("cboURLListing"),
              (std::vector<std::string>{"http://b.example/", "http://a.example/"}));
    EXPECT_EQ(dialog->text("cboURLListing"), "http://a.example/");
}

} // namespace
} // namespace vellumite
