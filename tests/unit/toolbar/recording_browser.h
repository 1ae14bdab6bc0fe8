// A band browser for tests: it records what the band asks of it, answers page work from a
// table of counts, and can run events while a page works, as the browser's events do.
#pragma once

#include "toolbar/band_browser.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

using namespace vellumite::toolbar;

struct RecordingBrowser : BandBrowser {
    std::map<std::string, long> counts; // occurrences of each term; missing terms: none
    std::function<void(const std::string&)> whileMarking;
    std::vector<std::string> calls;
    BandView view;
    std::vector<MenuItem> menu;
    std::string message;

    MarkResult markTerm(TabId tab, const TermSearch& s, std::string_view colour) override {
        calls.push_back("mark " + std::to_string(tab) + " " + s.term + " " + std::string(colour) +
                        (s.wholeWord ? " words" : ""));
        if (whileMarking)
            whileMarking(s.term);
        return {counts.contains(s.term) ? counts[s.term] : 0, false};
    }
    bool containsTerm(TabId tab, const TermSearch& s) override {
        calls.push_back("find " + std::to_string(tab) + " " + s.term);
        return counts.contains(s.term);
    }
    void removeMarks(TabId tab) override { calls.push_back("clear " + std::to_string(tab)); }
    void navigate(TabId tab, std::string_view url) override {
        calls.push_back("navigate " + std::to_string(tab) + " " + std::string(url));
    }
    void showBand(const BandView& v) override { view = v; }
    void showMenu(const std::vector<MenuItem>& items) override { menu = items; }
    void showMessage(std::string_view text) override { message = text; }
    // The dialogs and the scrapbook's pages are the browser test's to see.
    void showItemsDialog(const ItemsDialogView&) override {}
    void hideItemsDialog() override {}
    void showAbout(std::string_view) override {}
    void openScrapbook() override {}
    void showScrapbookPage(TabId, std::string_view) override {}
    void saveScrapbookCopy(TabId, std::string_view, std::string_view) override {}
    void focusEditor(std::string_view) override {}

    // The calls recorded since the last look, then forgotten.
    std::vector<std::string> taken() { return std::exchange(calls, {}); }
};

} // namespace testing_support
