// A single left-to-right scan that gives the same text as the lazy tag pattern.
#include "editor/strip_tags.h"

namespace vellumite {

std::string StripTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t open = text.find('<', at);
        if (open == std::string_view::npos)
            break;
        // The tag needs one character of its own, so its ">" is searched from open + 2.
        std::size_t close = open + 2 <= text.size() ? text.find('>', open + 2) : text.npos;
        if (close == std::string_view::npos)
            break; // no later "<" can find a ">" either
        out.append(text.substr(at, open - at));
        at = close + 1;
    }
    out.append(text.substr(at));
    return out;
}

} // namespace vellumite
