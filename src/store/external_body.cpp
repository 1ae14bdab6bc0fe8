// Reading a post's word-processor document back as the body to publish.
#include "store/external_body.h"

#include "platform/files.h"
#include "platform/regex.h"
#include "platform/text.h"

#include <system_error>

namespace vellumite {

namespace fs = std::filesystem;

fs::path externalDocumentPath(const fs::path& appFolder, std::int32_t logId, std::int32_t postId) {
    return appFolder / "external" /
           (std::to_string(logId) + "_" + std::to_string(postId) + ".html");
}

bool isExternalBody(std::string_view body) {
    std::size_t first = body.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    std::size_t last = body.find_last_not_of(' ');
    return body.substr(first, last - first + 1) == kExternalElement;
}

std::string externalBodyFromDocument(std::string_view document) {
    // Lines are joined as the editor's pages are read (each line after a line feed), so the
    // body keeps plain line feeds between its lines.
    std::string text;
    text.reserve(document.size() + 16);
    for (const std::string& line : platform::files::splitLines(document)) {
        text += '\n';
        text += line;
    }

    // Word's class attributes ("class=MsoNormal", quoted or not) go; the rest of the tag and
    // the text after it stay. A greedy ".*" up to the last blank or ">" of the line would eat
    // the paragraph's text with them.
    static const platform::Regex msoClass(R"( class=(?:"Mso[^"]*"|'Mso[^']*'|Mso[^\s>]*))",
                                          platform::Regex::CaseInsensitive);
    text = msoClass.replaceAll(text, "");

    static const platform::Regex bodyOpen(R"(<body\b[^>]*>)", platform::Regex::CaseInsensitive);
    static const platform::Regex bodyClose(R"(</body>)", platform::Regex::CaseInsensitive);
    auto opens = bodyOpen.findAll(text);
    auto closes = bodyClose.findAll(text);
    std::size_t from = opens.empty() ? 0 : opens.back().end();
    std::size_t to = closes.empty() ? text.size() : closes.back().offset;
    if (to <= from)
        return {};
    // The line feed before "</body>" is not part of the body.
    std::string_view inner = std::string_view(text).substr(from, to - from);
    if (!closes.empty())
        inner.remove_suffix(1);
    return std::string(inner);
}

std::string ReadExternalBody(std::string_view body, std::int32_t postId, const fs::path& appFolder,
                             std::int32_t logId) {
    if (!isExternalBody(body))
        return std::string(body);
    fs::path path = externalDocumentPath(appFolder, logId, postId);
    try {
        return externalBodyFromDocument(platform::files::readFile(path));
    } catch (const std::system_error& e) {
        throw ExternalBodyError("cannot read the document of post " + std::to_string(postId) +
                                ": " + e.what());
    }
}

} // namespace vellumite
