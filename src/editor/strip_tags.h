// StripTags: removes every HTML tag from a title or other value put into a list.
#pragma once

#include <string>
#include <string_view>

namespace vellumite {

// The result of replacing every match of "<(.|\n)+?>" (case-insensitive, global) by the empty
// text: each "<" up to the first ">" that follows it after at least one character goes, line
// breaks inside a tag included; a "<" with no such ">" after it stays. One linear pass, so
// long titles and bodies cost no stack and no quadratic rescans.
std::string StripTags(std::string_view text);

} // namespace vellumite
