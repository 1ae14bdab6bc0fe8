// Reading editor templates, cutting their repeated block and writing the pages.
#include "core/fill_engine.h"

#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <system_error>

namespace vellumite {

namespace fs = std::filesystem;

std::string readEditorTemplate(const fs::path& appFolder, std::string_view templateName) {
    std::string relative = "html/" + std::string(templateName);
    auto path = platform::files::resolveNoCase(appFolder, relative);
    if (!path)
        throw TemplateError("The page template " + relative + " is missing from " +
                            appFolder.string() + ".");
    std::vector<std::string> lines;
    try {
        lines = platform::files::readLines(*path);
    } catch (const std::system_error& e) {
        throw TemplateError("The page template " + relative +
                            " cannot be read: " + e.code().message() + ".");
    }
    std::string text;
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const auto& line : lines) {
        text += "\n\r";
        text += line;
    }
    return text;
}

fs::path writeEditorPage(const fs::path& appFolder, std::string_view pageName,
                         std::string_view text) {
    std::string relative = "html/" + std::string(pageName);
    auto path = platform::files::resolveNoCase(appFolder, relative, true);
    if (!path)
        throw TemplateError("The page " + relative + " cannot be written in " + appFolder.string() +
                            ".");
    platform::files::writeFileAtomic(*path, text);
    return *path;
}

std::string repeatedBlock(std::string_view page, std::string_view marker,
                          std::string_view templateName) {
    const std::string open = "<" + std::string(marker) + ">";
    const std::string close = "</" + std::string(marker) + ">";
    auto missing = [&](std::string_view what) {
        return TemplateError("The page template " + std::string(templateName) + " " +
                             std::string(what) + ".");
    };
    std::size_t openAt = platform::findText(page, open);
    if (openAt == std::string_view::npos)
        throw missing("has no " + open + " marker");
    std::size_t closeAt = platform::findText(page, close);
    if (closeAt == std::string_view::npos)
        throw missing("has no " + close + " marker");
    std::size_t start = openAt + open.size();
    if (closeAt < start)
        throw missing("has its " + close + " marker before " + open);
    // close - open - len(closing marker), in positions counted from 1: one less than the text
    // between the markers. Markers that touch leave an empty block.
    std::size_t between = closeAt - start;
    return std::string(page.substr(start, between == 0 ? 0 : between - 1));
}

BlockPattern::BlockPattern(std::string_view block, std::vector<std::string_view> tags) {
    // Every occurrence of every tag, in block order. Tags cannot overlap: each starts with "<$"
    // and ends with "$>", which no tag name holds.
    std::vector<std::pair<std::size_t, int>> hits;
    for (std::size_t t = 0; t < tags.size(); ++t)
        for (std::size_t at = platform::findText(block, tags[t]); at != std::string_view::npos;
             at = platform::findText(block, tags[t], at + tags[t].size()))
            hits.emplace_back(at, static_cast<int>(t));
    std::sort(hits.begin(), hits.end());
    std::size_t done = 0;
    for (const auto& [at, tag] : hits) {
        m_pieces.push_back({std::string(block.substr(done, at - done)), tag});
        done = at + tags[static_cast<std::size_t>(tag)].size();
    }
    m_pieces.push_back({std::string(block.substr(done)), -1});
}

void BlockPattern::appendFilled(std::string& out, const std::vector<std::string>& values) const {
    for (const auto& piece : m_pieces) {
        out += piece.literal;
        if (piece.tag >= 0)
            out += values.at(static_cast<std::size_t>(piece.tag));
    }
}

ListPage::ListPage(const fs::path& appFolder, std::string templateName, std::string_view marker,
                   std::vector<std::string_view> tags)
    : m_appFolder(appFolder), m_text(readEditorTemplate(appFolder, templateName)),
      m_block(repeatedBlock(m_text, marker, templateName)), m_pattern(m_block, std::move(tags)) {}

std::string& ListPage::expand() {
    platform::replaceAll(m_text, m_block, m_entries);
    m_entries.clear();
    return m_text;
}

fs::path ListPage::write(std::string_view pageName) const {
    return writeEditorPage(m_appFolder, pageName, m_text);
}

} // namespace vellumite
