// Literal replacement over memmem: pages are filled by many passes, so each pass stays linear.
#include "platform/text.h"

#include "platform/numbers.h"

#include <algorithm>
#include <cctype>
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

namespace {

void appendEscaped(std::string& out, char c) {
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

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The length of the character reference at the start of `text` ("&name;", "&#123;",
// "&#x7B;"), or 0 when there is none.
std::size_t referenceLength(std::string_view text) {
    if (text.size() < 3 || text[0] != '&')
        return 0;
    std::size_t i = 1;
    if (text[1] == '#') {
        i = 2;
        bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex)
            ++i;
        std::size_t digits = i;
        while (i < text.size() && (hex ? isHexDigit(text[i]) : isAsciiDigit(text[i])))
            ++i;
        if (i == digits)
            return 0;
    } else {
        if (!isAsciiAlpha(text[1]))
            return 0;
        while (i < text.size() && (isAsciiAlpha(text[i]) || isAsciiDigit(text[i])))
            ++i;
    }
    return i < text.size() && text[i] == ';' ? i + 1 : 0;
}

} // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        appendEscaped(out, c);
    return out;
}

std::string htmlEscapeKeepingReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t n = text[i] == '&' ? referenceLength(text.substr(i)) : 0;
        if (n > 0) {
            out.append(text.substr(i, n));
            i += n - 1;
        } else {
            appendEscaped(out, text[i]);
        }
    }
    return out;
}

std::string percentEncode(std::string_view text, std::string_view keep) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || keep.find(static_cast<char>(c)) != std::string_view::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string stripTags(std::string_view text) {
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

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

namespace {
char asciiLowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string_view trimmedBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = asciiLowerChar(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLowerChar(x) == asciiLowerChar(y);
           });
}

} // namespace platform
