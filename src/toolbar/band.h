// The band object and its form: the band's life cycle on one browser window, and what the
// user does in the band (padlock, items dialog, menu, drop area, scrapbook, launch).
#pragma once

#include "toolbar/band_browser.h"
#include "toolbar/highlighter.h"
#include "toolbar/settings_file.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellumite::toolbar {

inline constexpr std::string_view kBandVersion = "1.1.0";

// Where the band finds its files.
struct BandEnvironment {
    std::filesystem::path appFolder;     // the capture database and scrapbook.html
    std::filesystem::path programFolder; // where the editor is installed
    std::filesystem::path settingsPath;
};

// The members a band-info request asks for.
enum BandInfoMask : unsigned {
    DBIM_MINSIZE = 0x1,
    DBIM_MAXSIZE = 0x2,
    DBIM_INTEGRAL = 0x4,
    DBIM_ACTUAL = 0x8,
    DBIM_TITLE = 0x10,
    DBIM_MODEFLAGS = 0x20,
    DBIM_BKCOLOR = 0x40,
};

struct BandSize {
    int x = 0;
    int y = 0;
    bool operator==(const BandSize&) const = default;
};

// Only the members named in the mask are filled; the background colour never is.
struct BandInfo {
    std::optional<BandSize> minSize, maxSize, integral, actualSize;
    std::optional<std::string> title;
    std::optional<int> modeFlags;
};
BandInfo GetBandInfo(unsigned mask);

// The band form: one per browser window.
class FrmBand {
public:
    FrmBand(BandBrowser& browser, const BandEnvironment& environment);

    void Form_Load();
    // Writes "logout" = "0" and closes the dialogs.
    void Form_Unload();
    // Every 500 ms.
    void Timer2();

    Highlighter& highlighter() { return m_highlighter; }
    SettingsFile& settings() { return m_settings; }

    void imgManualItems_Click();
    void Save_Click(const std::vector<std::string>& lines);
    void cmdCancel_Click();
    // One of the four links of the items dialog, by its control name.
    void itemsLink_Click(std::string_view control);
    void lblLaunch_Click();
    void showMenu();
    void menuChoose(int item);
    void showAbout();

    // Text dropped on the drop area, with the formats it was offered in and the address of
    // the page shown meanwhile (empty: the band's current page).
    void picGrabber_OLEDragDrop(const std::vector<std::string>& types, const std::string& text,
                                const std::string& url);

    // A tab showing the scrapbook page asks for its text.
    void scrapbookShow(TabId tab);
    // A link followed on the scrapbook page of `tab`.
    void scrapbookLink(TabId tab, const std::string& from, const std::string& url);

    int chosenMenuItem() const { return m_chosenMenuItem; }

private:
    std::string serviceUrl() const;
    void BuildScrapbook(TabId tab);
    void reportFailure(const std::string& what, const std::exception& error);

    BandBrowser& m_browser;
    BandEnvironment m_environment;
    SettingsFile m_settings;
    Highlighter m_highlighter;
    bool m_itemsShown = false;
    int m_chosenMenuItem = 0;
};

// The band object on one browser window: the extension's connection sets its site when it
// opens and releases it when it closes.
class MartenBand {
public:
    MartenBand(BandBrowser& browser, BandEnvironment environment);

    // With a window, loads the band form for it; without, releases the site.
    void SetSite(std::optional<std::int64_t> window);
    std::optional<std::int64_t> site() const { return m_site; }
    void ShowDW(bool show);
    bool shown() const { return m_shown; }
    void CloseDW();

    // The band form while it is loaded.
    FrmBand* form() { return m_form.get(); }

private:
    BandBrowser& m_browser;
    BandEnvironment m_environment;
    std::optional<std::int64_t> m_site;
    bool m_shown = false;
    std::unique_ptr<FrmBand> m_form;
};

} // namespace vellumite::toolbar
