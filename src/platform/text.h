// Plain text replacement: the literal, case-sensitive, every-occurrence replace that page
// templates are filled with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Replaces every occurrence of `what` in `text`, scanning left to right and never re-reading
// inserted text. An empty `what` changes nothing. Returns the number of replacements.
std::size_t replaceAll(std::string& text, std::string_view what, std::string_view with);

// The same on a copy.
std::string replacedAll(std::string_view text, std::string_view what, std::string_view with);

// Offset of the first occurrence of `what` at or after `from`, or npos.
std::size_t findText(std::string_view text, std::string_view what, std::size_t from = 0);

// Every HTML tag removed from a title or other value put into a list: the same text as a
// case-insensitive, global replace of "<(.|\n)+?>" by nothing. Each "<" up to the first ">"
// after at least one character goes, line breaks inside a tag included; a "<" with no such ">"
// after it stays. One linear pass, so long titles and bodies cost no stack and no rescans.
std::string stripTags(std::string_view text);

// The text with &, <, > and " written as character references, for text put into a page.
std::string htmlEscape(std::string_view text);

// The same, except that an "&" that already starts a character reference ("&#39;", "&amp;",
// "&#x41;") is kept: for stored text that is shown as a page would show it, where the stored
// references mean the characters they name.
std::string htmlEscapeKeepingReferences(std::string_view text);

// The text with every byte but ASCII letters, digits and those in `keep` written as %XX: the
// default keeps what a query value may hold as it stands.
std::string percentEncode(std::string_view text, std::string_view keep = "-_.~");

// Percent-decoding ("%41" is "A"; "+" stays "+"). Nothing when an escape is cut short or holds
// a character that is not a hexadecimal digit.
std::optional<std::string> percentDecode(std::string_view text);

// The text without the blanks and tabs at either end.
std::string_view trimmedBlanks(std::string_view text);

// ASCII letters lower-cased; every other byte (UTF-8 included) kept as it is.
std::string asciiLower(std::string_view text);
// Equal without regard to ASCII letter case.
bool equalsNoCase(std::string_view a, std::string_view b);

// The same for a path in an address: "/" and the other characters a path may hold stay.
inline std::string percentEncodePath(std::string_view text) {
    return percentEncode(text, "-_.~/!$&'()*+,;=:@");
}

} // namespace platform
