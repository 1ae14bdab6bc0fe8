// Regular expressions over PCRE2: compiled once, searched and replaced without std::regex.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A pattern that does not compile, or a search that ran past its work limit.
class RegexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RegexMatch {
    std::size_t offset = 0; // byte offset of the match in the subject
    std::size_t length = 0;
    std::size_t end() const { return offset + length; }
};

// A compiled pattern. Matching is byte-wise (no UTF mode), as the stored single-byte pages
// were matched; `.` does not match a line feed unless DotAll is given, as in VBScript.
// PCRE2 keeps its backtracking state on the heap and has a work limit, so long or hostile
// subjects cannot overflow the stack or run without end.
class Regex {
public:
    enum Flags : unsigned { None = 0, CaseInsensitive = 1u << 0, DotAll = 1u << 1 };

    explicit Regex(std::string_view pattern, unsigned flags = None);
    ~Regex();
    Regex(Regex&&) noexcept;
    Regex& operator=(Regex&&) noexcept;

    // The first match at or after `start`.
    std::optional<RegexMatch> find(std::string_view subject, std::size_t start = 0) const;
    // Every match, left to right, without overlaps.
    std::vector<RegexMatch> findAll(std::string_view subject) const;
    bool matches(std::string_view subject) const { return find(subject).has_value(); }
    // Replaces every match by `replacement`, taken literally (no $-references).
    std::string replaceAll(std::string_view subject, std::string_view replacement) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> m_compiled;
};

} // namespace platform
