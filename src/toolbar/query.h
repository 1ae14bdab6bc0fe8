// Search lines as the highlighter reads them: the query words, the colour walk, duplicates and
// the whole-word rule.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

// Background colours of the marks, index 0 to 20. The walk below never uses the first or the
// last ("aqua" and "yellow").
inline constexpr std::array<std::string_view, 21> kColours = {
    "aqua",          "blueviolet", "CHARTREUSE", "crimson",     "darkorange", "darkorchid",
    "darkturquoise", "darkviolet", "deeppink",   "deepskyblue", "gold",       "greenyellow",
    "lime",          "orange",     "orangered",  "orchid",      "red",        "springgreen",
    "violet",        "tomato",     "yellow"};
inline constexpr int kLastColour = static_cast<int>(kColours.size()) - 1;

// The colour index of a highlight pass: it starts anywhere from 0 to 19 and each step moves
// it on by one, from 19 back to 1.
class ColourWalk {
public:
    explicit ColourWalk(int start) : m_index(start) {}
    // A start from 0 to 19, drawn at random.
    static ColourWalk random();

    void advance() {
        if (++m_index >= kLastColour)
            m_index = 1;
    }
    int index() const { return m_index; }
    std::string_view colour() const { return kColours.at(static_cast<std::size_t>(m_index)); }

private:
    int m_index;
};

// The phrases of one search line that are highlighted, one per element: "and", "or" and
// "near" separate phrases, and a phrase after "not" is dropped. "X and (a or b)" is read as
// "X and a or X and b".
std::vector<std::string> normaliseQuery(std::string_view line);

// `list`, lines separated by line feeds, without the lines that repeat an earlier one (lines
// compared trimmed; the first one is kept as it was).
std::string removeDuplicatesfromlist(std::string_view list);

// A term whose first character is a capital "B" to "Y" matches whole words only; every other
// term matches inside words too.
bool wholeWordsOnly(std::string_view term);

// A term without a letter or a digit would match between any two characters of a page, so it
// marks nothing. Bytes of multi-byte characters count as letters.
bool marksNothing(std::string_view term);

std::string trimmedText(std::string_view text);

} // namespace vellumite::toolbar
