// PCRE2 wrapper: one compiled code per pattern, JIT when the machine has it, a bounded search.
#include "platform/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace platform {

namespace {

// Enough for any page the program fills; a search that needs more is pathological and is
// reported rather than left to run or to take the machine's memory.
constexpr uint32_t kMatchLimit = 50'000'000;
constexpr PCRE2_SIZE kJitStackMax = 16u << 20;
constexpr uint32_t kHeapLimitKiB = 256u << 10;

std::string pcreMessage(int code) {
    PCRE2_UCHAR buffer[256];
    int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? "error " + std::to_string(code) : std::string(reinterpret_cast<char*>(buffer));
}

} // namespace

struct Regex::Compiled {
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    ~Compiled() {
        pcre2_match_context_free(context);
        pcre2_jit_stack_free(jitStack);
        pcre2_code_free(code);
    }
};

Regex::Regex(std::string_view pattern, unsigned flags) : m_compiled(std::make_unique<Compiled>()) {
    uint32_t options = 0;
    if (flags & CaseInsensitive)
        options |= PCRE2_CASELESS;
    if (flags & DotAll)
        options |= PCRE2_DOTALL;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    m_compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error, &errorOffset, nullptr);
    if (!m_compiled->code)
        throw RegexError("cannot compile the pattern \"" + std::string(pattern) + "\" at " +
                         std::to_string(errorOffset) + ": " + pcreMessage(error));
    m_compiled->context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(m_compiled->context, kMatchLimit);
    pcre2_set_heap_limit(m_compiled->context, kHeapLimitKiB);
    // Without JIT it still works, only slower.
    if (pcre2_jit_compile(m_compiled->code, PCRE2_JIT_COMPLETE) == 0) {
        m_compiled->jitStack = pcre2_jit_stack_create(32u << 10, kJitStackMax, nullptr);
        pcre2_jit_stack_assign(m_compiled->context, nullptr, m_compiled->jitStack);
    }
}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

std::optional<RegexMatch> Regex::find(std::string_view subject, std::size_t start) const {
    if (start > subject.size())
        return std::nullopt;
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
        pcre2_match_data_create_from_pattern(m_compiled->code, nullptr), &pcre2_match_data_free);
    int rc = pcre2_match(m_compiled->code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                         subject.size(), start, 0, data.get(), m_compiled->context);
    if (rc == PCRE2_ERROR_NOMATCH)
        return std::nullopt;
    if (rc < 0)
        throw RegexError("cannot search the text: " + pcreMessage(rc));
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    return RegexMatch{ovector[0], ovector[1] - ovector[0]};
}

std::vector<RegexMatch> Regex::findAll(std::string_view subject) const {
    std::vector<RegexMatch> all;
    std::size_t at = 0;
    while (auto m = find(subject, at)) {
        all.push_back(*m);
        // An empty match must not be found again at the same place.
        at = m->length == 0 ? m->offset + 1 : m->end();
        if (at > subject.size())
            break;
    }
    return all;
}

std::string Regex::replaceAll(std::string_view subject, std::string_view replacement) const {
    std::string out;
    std::size_t done = 0;
    for (const RegexMatch& m : findAll(subject)) {
        out.append(subject.substr(done, m.offset - done));
        out.append(replacement);
        done = m.end();
    }
    out.append(subject.substr(done));
    return out;
}

} // namespace platform
