// Escaping stored text for the editor's pages.
#include "editor/page_text.h"

#include "editor/strip_tags.h"
#include "platform/text.h"

namespace vellumite {

std::string listText(std::string_view stored) {
    return platform::htmlEscapeKeepingReferences(StripTags(stored));
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
