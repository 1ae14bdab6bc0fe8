// The band object and its form.
#include "toolbar/band.h"

#include "platform/database.h"
#include "store/app_folder.h"
#include "toolbar/capture.h"
#include "toolbar/editor_launch.h"
#include "toolbar/items_dialog.h"

#include <iostream>
#include <system_error>

namespace vellumite::toolbar {

BandInfo GetBandInfo(unsigned mask) {
    BandInfo info;
    if (mask & DBIM_MINSIZE)
        info.minSize = BandSize{131, 22};
    if (mask & DBIM_MAXSIZE)
        info.maxSize = BandSize{-1, 22}; // no limit across
    if (mask & DBIM_INTEGRAL)
        info.integral = BandSize{1, 1};
    if (mask & DBIM_ACTUAL)
        info.actualSize = BandSize{200, 22};
    if (mask & DBIM_TITLE)
        info.title = "";
    if (mask & DBIM_MODEFLAGS)
        info.modeFlags = 0;
    return info;
}

// ---------------------------------------------------------------------------------------------
// FrmBand

FrmBand::FrmBand(BandBrowser& browser, const BandEnvironment& environment)
    : m_browser(browser), m_environment(environment), m_settings(environment.settingsPath),
      m_highlighter(browser, m_settings) {}

void FrmBand::Form_Load() {
    m_highlighter.refreshBand();
}

void FrmBand::Form_Unload() {
    try {
        m_settings.set(kUserSection, kLogoutKey, "0");
    } catch (const std::exception& e) {
        std::cerr << "vellumitebar: " << e.what() << "\n";
    }
    if (m_itemsShown)
        cmdCancel_Click();
}

void FrmBand::Timer2() {
    m_highlighter.followStoredState();
}

std::string FrmBand::serviceUrl() const {
    try {
        return m_settings.get(kServiceSection, kServiceUrlKey, kDefaultServiceUrl);
    } catch (const std::system_error&) {
        return std::string(kDefaultServiceUrl);
    }
}

void FrmBand::reportFailure(const std::string& what, const std::exception& error) {
    std::string reason = error.what();
    if (auto db = dynamic_cast<const platform::DbError*>(&error))
        reason = db->description();
    m_browser.showMessage(what + ": " + reason);
}

void FrmBand::imgManualItems_Click() {
    try {
        m_browser.showItemsDialog({storedItems(m_settings)});
        m_itemsShown = true;
    } catch (const std::system_error& e) {
        reportFailure("The search terms could not be read", e);
    }
}

void FrmBand::Save_Click(const std::vector<std::string>& lines) {
    try {
        storeItems(m_settings, lines);
    } catch (const std::system_error& e) {
        reportFailure("The search terms could not be saved", e);
        return; // the dialog stays open with what was typed
    }
    cmdCancel_Click();
    m_highlighter.switchOn(true);
}

void FrmBand::cmdCancel_Click() {
    m_itemsShown = false;
    m_browser.hideItemsDialog();
}

void FrmBand::itemsLink_Click(std::string_view control) {
    if (control == "lblScrapBook") {
        cmdCancel_Click();
        m_browser.openScrapbook();
    } else if (control == "lblHelp") {
        m_browser.navigate(0, serviceAddress(serviceUrl(), "/forum/index.php"));
        cmdCancel_Click();
    } else if (control == "lblHomepage") {
        m_browser.navigate(0, serviceAddress(serviceUrl(), "/"));
        cmdCancel_Click();
    } else if (control == "lblLaunch") {
        lblLaunch_Click();
    } else {
        m_browser.showMessage("There is no link \"" + std::string(control) + "\".");
    }
}

void FrmBand::lblLaunch_Click() {
    LaunchOutcome outcome = launchVellumite(m_environment.appFolder, m_environment.programFolder);
    if (outcome.kind == LaunchOutcome::Focus)
        m_browser.focusEditor(outcome.address);
    else if (outcome.kind == LaunchOutcome::NotFound)
        m_browser.showMessage(kNotFoundMessage);
}

void FrmBand::showMenu() {
    try {
        m_browser.showMenu(popupMenu(storedItems(m_settings)));
    } catch (const std::system_error& e) {
        reportFailure("The search terms could not be read", e);
    }
}

void FrmBand::menuChoose(int item) {
    m_chosenMenuItem = item;
    if (item == kMenuClearAll) {
        // The menu lists the stored lines; "Clear All" empties them and the page's marks.
        try {
            storeItems(m_settings, {});
        } catch (const std::system_error& e) {
            reportFailure("The search terms could not be cleared", e);
            return;
        }
        TabId tab = m_highlighter.currentTab();
        m_browser.removeMarks(tab);
        m_highlighter.highlightPage(tab);
    } else if (item == kMenuHelp) {
        std::string alerts;
        try {
            alerts = m_settings.get(kServiceSection, kAlertsUrlKey, kDefaultAlertsUrl);
        } catch (const std::system_error&) {
            alerts = kDefaultAlertsUrl;
        }
        m_browser.navigate(0, serviceAddress(alerts, "/tools/lite-help.html"));
    } else if (item == kMenuAbout) {
        showAbout();
    }
}

void FrmBand::showAbout() {
    m_browser.showAbout(kBandVersion);
}

void FrmBand::picGrabber_OLEDragDrop(const std::vector<std::string>& types, const std::string& text,
                                     const std::string& url) {
    if (!takesDrop(types))
        return;
    try {
        storeCapture(m_environment.appFolder, text,
                     url.empty() ? m_highlighter.currentAddress() : url);
    } catch (const std::exception& e) {
        reportFailure("The text could not be stored", e);
    }
}

void FrmBand::BuildScrapbook(TabId tab) {
    try {
        std::string page = buildScrapbook(m_environment.appFolder, serviceUrl());
        if (m_itemsShown)
            cmdCancel_Click();
        m_browser.showScrapbookPage(tab, page);
    } catch (const std::exception& e) {
        reportFailure("The collection could not be shown", e);
    }
}

void FrmBand::scrapbookShow(TabId tab) {
    BuildScrapbook(tab);
}

void FrmBand::scrapbookLink(TabId tab, const std::string& from, const std::string& url) {
    ScrapbookCommand command = scrapbookCommand(from, url);
    try {
        switch (command.kind) {
        case ScrapbookCommand::Delete:
            deleteCapture(m_environment.appFolder, command.id);
            BuildScrapbook(tab);
            break;
        case ScrapbookCommand::Clear:
            clearCaptures(m_environment.appFolder);
            BuildScrapbook(tab);
            break;
        case ScrapbookCommand::Save:
            m_browser.saveScrapbookCopy(tab, kScrapbookFile,
                                        scrapbookCopy(readCaptures(m_environment.appFolder)));
            break;
        case ScrapbookCommand::None:
            m_browser.navigate(tab, url);
            break;
        }
    } catch (const std::exception& e) {
        reportFailure("The collection could not be changed", e);
    }
    m_highlighter.resetCounter(tab);
}

// ---------------------------------------------------------------------------------------------
// MartenBand

MartenBand::MartenBand(BandBrowser& browser, BandEnvironment environment)
    : m_browser(browser), m_environment(std::move(environment)) {}

void MartenBand::SetSite(std::optional<std::int64_t> window) {
    if (!window) {
        m_site.reset();
        return;
    }
    m_site = window;
    if (!m_form) {
        m_form = std::make_unique<FrmBand>(m_browser, m_environment);
        m_form->Form_Load();
    }
}

void MartenBand::ShowDW(bool show) {
    m_shown = show;
    if (show && m_form)
        m_form->highlighter().refreshBand();
}

void MartenBand::CloseDW() {
    if (!m_form)
        return;
    m_form->Form_Unload();
    m_form.reset();
}

} // namespace vellumite::toolbar
