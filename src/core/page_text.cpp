// Escaping stored text for the editor's pages.
#include "core/page_text.h"

#include "platform/text.h"

namespace vellumite {

std::string listText(std::string_view stored) {
    return platform::htmlEscapeKeepingReferences(platform::stripTags(stored));
}

std::string fieldText(std::string_view stored) {
    return platform::htmlEscape(platform::replacedAll(stored, "&#39;", "'"));
}

std::string textareaText(std::string_view stored) {
    std::string text = fieldText(stored);
    if (!text.empty() && (text.front() == '\n' || text.front() == '\r'))
        text.insert(text.begin(), '\n');
    return text;
}

} // namespace vellumite
