// Literal replacement over memmem: pages are filled by many passes, so each pass stays linear.
#include "platform/text.h"

#include <cstring>

namespace platform {

std::size_t findText(std::string_view text, std::string_view what, std::size_t from) {
    if (what.empty() || from > text.size() || text.size() - from < what.size())
        return std::string_view::npos;
    const void* hit = ::memmem(text.data() + from, text.size() - from, what.data(), what.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
}

std::size_t replaceAll(std::string& text, std::string_view what, std::string_view with) {
    std::size_t at = findText(text, what);
    if (at == std::string_view::npos)
        return 0;
    std::string out;
    out.reserve(text.size() + (with.size() > what.size() ? with.size() - what.size() : 0));
    std::size_t done = 0;
    std::size_t count = 0;
    while (at != std::string_view::npos) {
        out.append(text, done, at - done);
        out.append(with);
        done = at + what.size();
        ++count;
        at = findText(text, what, done);
    }
    out.append(text, done, std::string::npos);
    text = std::move(out);
    return count;
}

std::string replacedAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string copy(text);
    replaceAll(copy, what, with);
    return copy;
}

} // namespace platform

namespace platform {

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace platform
