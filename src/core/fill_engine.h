// The fill engine every editor page shares: template text, the repeated block, the written page.
#pragma once

#include "platform/error.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// A template that cannot be read or lacks its block markers. The text names the template and
// is what the user is shown.
class TemplateError : public platform::MessageError {
public:
    explicit TemplateError(std::string description)
        : MessageError(kNumber, std::move(description), "EditorTemplate") {}
    static constexpr int kNumber = 75; // path/file access error
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

// A repeated block cut once into its literal text and its per-record tags, so that each record
// is one pass of appends instead of a copy of the block and one replacement per tag. It gives
// what replacing the tags one after another gives, as long as no value holds a tag: the values
// put into editor pages are escaped text or links of a fixed form, so none does.
class BlockPattern {
public:
    BlockPattern(std::string_view block, std::vector<std::string_view> tags);
    // Appends the block with every occurrence of tag i replaced by values[i].
    void appendFilled(std::string& out, const std::vector<std::string>& values) const;

private:
    struct Piece {
        std::string literal; // text before the tag
        int tag;             // index into the tags, -1 after the last tag
    };
    std::vector<Piece> m_pieces;
};

// One list page being filled: the template read and its block cut out on construction, one
// copy of the block per record with the per-record tags filled, then the block replaced by the
// copies, the page-wide tags replaced, and the page written:
//
//     ListPage page(appFolder, "template-userlinks.html", "VellumiteUserLinks",
//                   {"<$VellumiteLinkText$>", "<$VellumiteLinkId$>"});
//     for (each record) page.add({text, id});
//     std::string& text = page.expand(); // page-wide tags go on `text`
//     page.write("userlinks.html");
class ListPage {
public:
    ListPage(const std::filesystem::path& appFolder, std::string templateName,
             std::string_view marker, std::vector<std::string_view> tags);

    const std::string& block() const { return m_block; }
    void add(const std::vector<std::string>& values) { m_pattern.appendFilled(m_entries, values); }
    // Replaces every occurrence of the block text by the copies (none leaves just the two
    // markers) and returns the page text for the page-wide tags.
    std::string& expand();
    std::filesystem::path write(std::string_view pageName) const;

private:
    std::filesystem::path m_appFolder;
    std::string m_text;
    std::string m_block;
    BlockPattern m_pattern;
    std::string m_entries;
};

} // namespace vellumite
