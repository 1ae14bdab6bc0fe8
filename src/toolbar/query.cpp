// Reading search lines.
#include "toolbar/query.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <set>

namespace vellumite::toolbar {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string> splitAt(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string replaced(std::string text, std::string_view what, std::string_view with) {
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// "X and (a or b) rest" becomes "X and a or X and b rest": the words before the group are
// combined with each alternative in it. A line whose group follows another word is kept.
std::string expandedGroup(std::string_view line) {
    std::size_t open = line.find('(');
    if (open == std::string_view::npos)
        return std::string(line);
    std::string before = trimmedText(line.substr(0, open));
    std::size_t lastSpace = before.rfind(' ');
    std::string lastWord = lastSpace == std::string::npos ? before : before.substr(lastSpace + 1);
    if (lowered(lastWord) != "and")
        return std::string(line);
    std::size_t close = line.find(')', open);
    std::string_view inside = line.substr(
        open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    std::string_view after = close == std::string_view::npos ? "" : line.substr(close + 1);
    std::string group =
        replaced(replaced(" " + lowered(inside) + " ", " or ", " and "), " near ", " and ");
    std::string rewritten;
    for (const auto& alternative : splitAt(group, " and ")) {
        std::string word = trimmedText(alternative);
        if (word.empty())
            continue;
        if (!rewritten.empty())
            rewritten += " or ";
        rewritten += before + " " + word;
    }
    return rewritten + std::string(after);
}

} // namespace

std::string trimmedText(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

ColourWalk ColourWalk::random() {
    std::random_device device;
    std::uniform_int_distribution<int> start(0, kLastColour - 1);
    return ColourWalk(start(device));
}

std::vector<std::string> normaliseQuery(std::string_view line) {
    std::string text = expandedGroup(line);
    std::replace(text.begin(), text.end(), '(', ' ');
    std::replace(text.begin(), text.end(), ')', ' ');

    std::vector<std::string> orPhrases, andPhrases, nearPhrases;
    std::string mode = "or";
    std::string phrase;
    auto file = [&] {
        std::string done = trimmedText(phrase);
        phrase.clear();
        if (done.empty())
            return;
        if (mode == "or")
            orPhrases.push_back(done);
        else if (mode == "and")
            andPhrases.push_back(done);
        else if (mode == "near")
            nearPhrases.push_back(done);
        // a phrase after "not" is dropped
    };
    for (const auto& word : splitAt(text, " ")) {
        std::string lower = lowered(word);
        if (lower == "and" || lower == "not" || lower == "or" || lower == "near") {
            file();
            mode = lower;
        } else if (!word.empty()) {
            phrase += " " + word;
        }
    }
    file();

    std::vector<std::string> result = std::move(orPhrases);
    result.insert(result.end(), andPhrases.begin(), andPhrases.end());
    result.insert(result.end(), nearPhrases.begin(), nearPhrases.end());
    return result;
}

std::string removeDuplicatesfromlist(std::string_view list) {
    auto lines = splitAt(list, "\n");
    if (lines.size() < 2)
        return std::string(list);
    std::set<std::string> seen;
    std::string out;
    bool first = true;
    for (const auto& line : lines) {
        if (!seen.insert(trimmedText(line)).second)
            continue;
        if (!first)
            out += "\n";
        out += line;
        first = false;
    }
    return out;
}

bool wholeWordsOnly(std::string_view term) {
    std::string t = trimmedText(term);
    return !t.empty() && t.front() >= 'B' && t.front() <= 'Y';
}

bool marksNothing(std::string_view term) {
    return std::none_of(term.begin(), term.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u >= 0x80 || std::isalnum(u);
    });
}

} // namespace vellumite::toolbar
