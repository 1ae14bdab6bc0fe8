// Reading editor templates, cutting their repeated block and writing the pages.
#include "editor/fill_engine.h"

#include "platform/files.h"
#include "platform/text.h"

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

ListPage::ListPage(const fs::path& appFolder, std::string templateName, std::string_view marker)
    : m_appFolder(appFolder), m_templateName(std::move(templateName)),
      m_text(readEditorTemplate(appFolder, m_templateName)),
      m_block(repeatedBlock(m_text, marker, m_templateName)) {}

std::string& ListPage::expand() {
    platform::replaceAll(m_text, m_block, m_entries);
    m_entries.clear();
    return m_text;
}

fs::path ListPage::write(std::string_view pageName) const {
    return writeEditorPage(m_appFolder, pageName, m_text);
}

} // namespace vellumite
