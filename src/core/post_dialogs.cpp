// The image and link dialogs as the post editor sees them.
#include "core/post_dialogs.h"

#include "core/page_commands.h"

#include <algorithm>
#include <utility>

namespace vellumite {

namespace {

constexpr std::string_view kFile = "txtFile";
constexpr std::string_view kWidth = "txtImageWidth";
constexpr std::string_view kHeight = "txtImageHeight";
constexpr std::string_view kPopup = "chkPopup";
constexpr std::string_view kAddresses = "cboURLListing";

platform::Form* imageDialog(AppState& app) {
    platform::Form* form = app.host.findForm("frmImage");
    if (!form || !form->has(kFile) || !form->has(kWidth) || !form->has(kHeight) ||
        !form->has(kPopup))
        return nullptr;
    return form;
}

platform::Form* linkDialog(AppState& app) {
    platform::Form* link = app.host.findForm("frmSelectURL");
    return link && link->has(kAddresses) ? link : nullptr;
}

} // namespace

std::string imageDialogStats(AppState& app) {
    platform::Form* image = imageDialog(app);
    if (!image)
        return {};
    return image->text(kFile) + "," + image->text(kWidth) + "," + image->text(kHeight) + "," +
           (image->checked(kPopup) ? "1" : "0");
}

void loadImageDialogStats(AppState& app, std::string_view imageStats) {
    platform::Form* image = imageDialog(app);
    if (!image)
        return;
    std::vector<std::string> values = splitList(imageStats);
    values.resize(4);
    image->setText(kFile, values[0]);
    image->setText(kWidth, values[1]);
    image->setText(kHeight, values[2]);
    const bool popup = values[3] == "1";
    image->setChecked(kPopup, popup);
    for (std::string_view control : std::initializer_list<std::string_view>{
             "lblWindowWidth", "lblWindowHeight", kWidth, kHeight})
        if (image->has(control))
            image->setEnabled(control, !popup);
}

void resetImageDialog(AppState& app) {
    platform::Form* image = app.host.findForm("frmImage");
    if (!image)
        return;
    if (image->has(kFile))
        image->setText(kFile, "");
    if (image->has(kWidth))
        image->setText(kWidth, "200");
    if (image->has(kHeight))
        image->setText(kHeight, "200");
    if (image->has(kPopup))
        image->setChecked(kPopup, false);
}

void clearImageDialog(AppState& app) {
    platform::Form* image = imageDialog(app);
    if (!image)
        return;
    image->setText(kFile, "");
    image->setText(kWidth, "");
    image->setText(kHeight, "");
    image->setChecked(kPopup, false);
}

void resetLinkDialog(AppState& app) {
    app.linkAddressesWaiting.clear();
    if (platform::Form* link = linkDialog(app))
        link->setItems(kAddresses, {"http://"});
}

void offerLinkAddress(AppState& app, const std::string& address) {
    platform::Form* link = linkDialog(app);
    if (!link) {
        std::vector<std::string>& waiting = app.linkAddressesWaiting;
        std::erase(waiting, address);
        waiting.push_back(address); // the last one offered is the dialog's text
        return;
    }
    std::vector<std::string> items = link->items(kAddresses);
    if (std::find(items.begin(), items.end(), address) == items.end()) {
        items.push_back(address);
        link->setItems(kAddresses, items);
    }
    link->setText(kAddresses, address);
}

void offerWaitingLinkAddresses(AppState& app) {
    if (!linkDialog(app))
        return;
    for (const std::string& address : std::exchange(app.linkAddressesWaiting, {}))
        offerLinkAddress(app, address);
}

} // namespace vellumite
