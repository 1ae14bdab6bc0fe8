// The band's highlighting: the saved search terms marked in each page of the window, each in
// its own colour, with a counter and an on/off padlock shared with every other window.
#pragma once

#include "toolbar/band_browser.h"
#include "toolbar/query.h"
#include "toolbar/settings_file.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vellumite::toolbar {

// Every search line: the stored "searchlist", then the non-empty "useritem1" to "useritem10",
// without repeated lines.
std::vector<std::string> searchLines(const SettingsFile& settings);

class Highlighter {
public:
    using ColourStart = std::function<ColourWalk()>;

    Highlighter(BandBrowser& browser, SettingsFile& settings,
                ColourStart colours = ColourWalk::random);

    // Browser events of the window's tabs.
    void beforeNavigate(TabId tab, const std::string& url);
    void documentComplete(TabId tab, const std::string& url);
    void tabActivated(TabId tab, const std::string& url);
    void tabClosed(TabId tab);

    // The padlock (or the counter) clicked: switches and stores the new state for every window.
    void togglePadlock();
    // Every 500 ms: follows the state another window stored.
    void followStoredState();
    // Switching on highlights every loaded page of the window, the current one first; switching
    // off removes every mark. `store` writes the state for the other windows.
    void switchOn(bool store);
    void switchOff(bool store);

    // A highlight pass over the tab's page; it ends early when the page navigates or
    // highlighting is switched off meanwhile.
    void highlightPage(TabId tab);
    // Counter "0" and a pass still running on the page called off, as a navigation does.
    void resetCounter(TabId tab);

    bool enabled() const { return m_enabled; }
    TabId currentTab() const { return m_currentTab; }
    std::string currentAddress() const;
    BandView view() const;
    void refreshBand();

private:
    struct Page {
        std::string address;
        bool loading = true;  // from a navigation until its document is complete
        bool newPage = false; // a navigation began: a pass still running must stop
        long counter = 0;
        std::vector<std::string> highlighted; // terms already marked on this page
        unsigned pass = 0;                    // tells a pass that a newer one has begun
    };

    Page* page(TabId tab);
    // False when the pass must end.
    bool highlightTerm(TabId tab, unsigned pass, const std::string& term, std::string_view colour);
    bool pageContainsTerm(TabId tab, const std::string& term);

    BandBrowser& m_browser;
    SettingsFile& m_settings;
    ColourStart m_colours;
    bool m_enabled = true;
    TabId m_currentTab = 0;
    std::map<TabId, Page> m_pages;
};

} // namespace vellumite::toolbar
