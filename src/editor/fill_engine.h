// The fill engine every editor page shares: template text, the repeated block, the written page.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vellumite {

// A template that cannot be read or lacks its block markers. The text names the template and
// is what the user is shown.
class TemplateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads html/<templateName> of the app folder (name matched without regard to case) as editor
// templates have always been read: every line is preceded by a line feed and a carriage return,
// so the text begins with LF CR and lines are separated by LF CR. Pages and their repeated
// blocks are cut from this text, so the joining decides where the breaks of a list fall.
// Throws TemplateError when the file is missing or unreadable.
std::string readEditorTemplate(const std::filesystem::path& appFolder,
                               std::string_view templateName);

// Writes html/<pageName> whole, replacing the earlier copy (under whatever letter case it has).
// Returns the path written.
std::filesystem::path writeEditorPage(const std::filesystem::path& appFolder,
                                      std::string_view pageName, std::string_view text);

// The repeated block of `marker` ("VellumiteNewsFeed" for <VellumiteNewsFeed> …
// </VellumiteNewsFeed>) in a template's text. The first occurrence of each marker counts. The block
// starts right after the opening marker and is one character shorter than the text between the
// markers, because its length was always reckoned with the longer closing marker: the character
// before the closing marker (the CR of a marker on its own line) stays once after the expanded
// records. Throws TemplateError naming `templateName` when a marker is missing or the closing one
// comes first.
std::string repeatedBlock(std::string_view page, std::string_view marker,
                          std::string_view templateName);

// One list page being filled: the template read and its block cut out on construction, one
// filled copy of the block appended per record, then the block replaced by the copies, the
// page-wide tags replaced, and the page written.
//
//   ListPage page(appFolder, "template-draft.html", "VellumiteNewsFeed");
//   for (each record) { std::string entry = page.block(); replaceAll(entry, …); page.append(entry);
//   } std::string& text = page.expand();   // page-wide tags on `text` page.write("draft.html");
class ListPage {
public:
    ListPage(const std::filesystem::path& appFolder, std::string templateName,
             std::string_view marker);

    const std::string& block() const { return m_block; }
    void append(std::string_view entry) { m_entries.append(entry); }
    // Replaces every occurrence of the block text by the appended entries (none leaves just the
    // two markers) and returns the page text for the page-wide tags.
    std::string& expand();
    std::string& text() { return m_text; }
    std::filesystem::path write(std::string_view pageName) const;

private:
    std::filesystem::path m_appFolder;
    std::string m_templateName;
    std::string m_text;
    std::string m_block;
    std::string m_entries;
};

} // namespace vellumite
