// Highlight passes and the shared on/off state.
#include "toolbar/highlighter.h"

#include "platform/text.h"

#include <algorithm>
#include <system_error>

namespace vellumite::toolbar {

namespace {

constexpr std::string_view kSeparatorLine = "-------";

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from = 0) {
    for (std::size_t i = from; i + what.size() <= text.size(); ++i)
        if (platform::equalsNoCase(text.substr(i, what.size()), what))
            return i;
    return std::string_view::npos;
}

std::string replacedNoCase(std::string text, std::string_view what, std::string_view with) {
    for (std::size_t at = findNoCase(text, what); at != std::string::npos;
         at = findNoCase(text, what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::vector<std::string> splitNoCase(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = findNoCase(text, separator); at != std::string_view::npos;
         at = findNoCase(text, separator, start)) {
        parts.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

TermSearch searchFor(const std::string& term) {
    return {term, wholeWordsOnly(term)};
}

} // namespace

std::vector<std::string> searchLines(const SettingsFile& settings) {
    std::string joined;
    try {
        joined = settings.get(kUserSection, kSearchListKey);
        for (int i = 1; i <= 10; ++i) {
            std::string item =
                settings.get(kUserSection, std::string(kUserItemKey) + std::to_string(i));
            if (item.empty())
                continue;
            if (!joined.empty())
                joined += "\n";
            joined += item;
        }
    } catch (const std::system_error&) {
        return {}; // an unreadable settings file: nothing to highlight
    }
    std::vector<std::string> lines;
    std::string unique = removeDuplicatesfromlist(joined);
    std::size_t start = 0;
    while (start <= unique.size()) {
        std::size_t end = unique.find('\n', start);
        if (end == std::string::npos)
            end = unique.size();
        lines.push_back(unique.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

Highlighter::Highlighter(BandBrowser& browser, SettingsFile& settings, ColourStart colours)
    : m_browser(browser), m_settings(settings), m_colours(std::move(colours)) {}

Highlighter::Page* Highlighter::page(TabId tab) {
    auto it = m_pages.find(tab);
    return it == m_pages.end() ? nullptr : &it->second;
}

std::string Highlighter::currentAddress() const {
    auto it = m_pages.find(m_currentTab);
    return it == m_pages.end() ? std::string() : it->second.address;
}

BandView Highlighter::view() const {
    auto it = m_pages.find(m_currentTab);
    long counter = it == m_pages.end() ? 0 : it->second.counter;
    return {m_enabled, std::to_string(counter), m_enabled};
}

void Highlighter::refreshBand() {
    m_browser.showBand(view());
}

void Highlighter::beforeNavigate(TabId tab, const std::string& url) {
    Page& p = m_pages[tab];
    p.address = url;
    p.loading = true;
    p.newPage = true;
    p.counter = 0;
    p.highlighted.clear();
    ++p.pass; // a pass still running on the old page stops
    if (tab == m_currentTab)
        refreshBand();
}

void Highlighter::resetCounter(TabId tab) {
    if (Page* p = page(tab)) {
        p->counter = 0;
        ++p->pass;
    }
    if (tab == m_currentTab)
        refreshBand();
}

void Highlighter::documentComplete(TabId tab, const std::string& url) {
    Page& p = m_pages[tab];
    p.address = url;
    p.loading = false;
    p.newPage = false;
    highlightPage(tab);
}

void Highlighter::tabActivated(TabId tab, const std::string& url) {
    m_currentTab = tab;
    Page& p = m_pages[tab];
    if (p.address.empty()) {
        // A tab loaded before this band began: its page is taken as complete.
        p.address = url;
        p.loading = false;
    }
    refreshBand();
}

void Highlighter::tabClosed(TabId tab) {
    m_pages.erase(tab);
    if (tab == m_currentTab)
        m_currentTab = 0;
}

void Highlighter::togglePadlock() {
    if (m_enabled)
        switchOff(true);
    else
        switchOn(true);
}

void Highlighter::followStoredState() {
    bool on;
    try {
        on = highlightsOn(m_settings);
    } catch (const std::system_error&) {
        return; // read again on the next tick
    }
    if (on && !m_enabled)
        switchOn(false);
    else if (!on && m_enabled)
        switchOff(false);
}

void Highlighter::switchOff(bool store) {
    m_enabled = false;
    if (store)
        m_settings.set(kUserSection, kHighlightsKey, "off");
    refreshBand();
    std::vector<TabId> tabs;
    for (auto& [tab, p] : m_pages) {
        p.counter = 0;
        tabs.push_back(tab);
    }
    for (TabId tab : tabs)
        m_browser.removeMarks(tab);
}

void Highlighter::switchOn(bool store) {
    m_enabled = true;
    if (store)
        m_settings.set(kUserSection, kHighlightsKey, "on");
    refreshBand();
    // Pages still loading are highlighted when their document is complete.
    std::vector<TabId> tabs;
    if (Page* current = page(m_currentTab); current && !current->loading)
        tabs.push_back(m_currentTab);
    for (const auto& [tab, p] : m_pages)
        if (tab != m_currentTab && !p.loading)
            tabs.push_back(tab);
    for (TabId tab : tabs)
        if (m_enabled)
            highlightPage(tab);
}

void Highlighter::highlightPage(TabId tab) {
    Page* p = page(tab);
    if (!p || p->loading || !m_enabled)
        return;
    p->counter = 0;
    p->highlighted.clear();
    unsigned pass = ++p->pass;
    if (tab == m_currentTab)
        refreshBand();
    m_browser.removeMarks(tab); // a new pass replaces the marks of the last one

    std::vector<std::string> lines;
    for (const auto& line : searchLines(m_settings))
        for (auto& phrase : normaliseQuery(trimmedText(line)))
            lines.push_back(std::move(phrase));

    ColourWalk walk = m_colours();
    for (const auto& normalised : lines) {
        std::string line = trimmedText(normalised);
        if (line.empty() || line == kSeparatorLine)
            continue;
        walk.advance();
        line = replacedNoCase(line, "and not", "not");
        auto parts = splitNoCase(line, " and ");
        if (parts.size() == 1) {
            if (!highlightTerm(tab, pass, trimmedText(line), walk.colour()))
                return;
            continue;
        }
        // Every part must be on the page before any of them is marked.
        bool all = std::all_of(parts.begin(), parts.end(), [&](const std::string& part) {
            return pageContainsTerm(tab, trimmedText(part));
        });
        if (!all)
            continue;
        for (const auto& part : parts) {
            if (!highlightTerm(tab, pass, trimmedText(part), walk.colour()))
                return;
            walk.advance();
        }
    }
}

bool Highlighter::highlightTerm(TabId tab, unsigned pass, const std::string& term,
                                std::string_view colour) {
    Page* p = page(tab);
    if (!p || p->pass != pass)
        return false;
    if (std::find(p->highlighted.begin(), p->highlighted.end(), term) != p->highlighted.end())
        return true;
    p->highlighted.push_back(term);
    if (term.empty() || marksNothing(term))
        return true;

    MarkResult result = m_browser.markTerm(tab, searchFor(term), colour);
    // The browser's events ran while the page worked: look at the state afresh.
    p = page(tab);
    if (!p || p->pass != pass)
        return false; // the tab closed, or a newer pass took over its counter
    if (result.interrupted || p->newPage || !m_enabled) {
        p->counter = 0;
        p->newPage = false;
        if (tab == m_currentTab)
            refreshBand();
        return false;
    }
    p->counter += result.count;
    if (tab == m_currentTab)
        refreshBand();
    return true;
}

bool Highlighter::pageContainsTerm(TabId tab, const std::string& term) {
    if (term.empty() || marksNothing(term))
        return false;
    return m_browser.containsTerm(tab, searchFor(term));
}

} // namespace vellumite::toolbar
