// What the band needs of the browser that hosts it: page work in a tab, and the band's own
// window (padlock, counter, items dialog, menu, messages). The add-on's extension supplies it
// over native messaging; tests supply their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

using TabId = std::int64_t;

struct TermSearch {
    std::string term;
    bool wholeWord = false;
    bool operator==(const TermSearch&) const = default;
};

struct MarkResult {
    long count = 0;           // occurrences marked
    bool interrupted = false; // the page went away or the pass was called off meanwhile
};

// What the band window shows.
struct BandView {
    bool highlighting = true; // green padlock when on, grey when off
    std::string counter = "0";
    bool counterVisible = true;
    bool operator==(const BandView&) const = default;
};

struct ItemsDialogView {
    std::vector<std::string> lines; // the ten stored search lines
};

struct MenuItem {
    int id = 0;          // 0 for a separator
    std::string caption; // empty for a separator
};

class BandBrowser {
public:
    virtual ~BandBrowser() = default;

    // Marks every occurrence of the term with the background colour in the tab's document
    // and its same-origin frames.
    virtual MarkResult markTerm(TabId tab, const TermSearch& search, std::string_view colour) = 0;
    virtual bool containsTerm(TabId tab, const TermSearch& search) = 0;
    // Removes every mark of the tab's page at once.
    virtual void removeMarks(TabId tab) = 0;
    // Loads `url` in the tab (the current tab when `tab` is 0).
    virtual void navigate(TabId tab, std::string_view url) = 0;

    virtual void showBand(const BandView& view) = 0;
    virtual void showItemsDialog(const ItemsDialogView& view) = 0;
    virtual void hideItemsDialog() = 0;
    virtual void showMenu(const std::vector<MenuItem>& items) = 0;
    virtual void showAbout(std::string_view version) = 0;
    virtual void showMessage(std::string_view text) = 0;

    // The collection: shows the scrapbook page in the current tab, hands a tab that shows it
    // its text, and offers the saved copy for download.
    virtual void openScrapbook() = 0;
    virtual void showScrapbookPage(TabId tab, std::string_view html) = 0;
    virtual void saveScrapbookCopy(TabId tab, std::string_view fileName, std::string_view html) = 0;

    // Brings forward the browser tab that shows the running editor at `address`, or opens one.
    virtual void focusEditor(std::string_view address) = 0;
};

} // namespace vellumite::toolbar
