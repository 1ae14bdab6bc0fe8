// The messages the extension may send the host, each checked against its rule (type, fields,
// their kinds and sizes) before anything acts on it.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace vellumite::toolbar {

class BadMessage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class FieldKind { Flag, Number, Text, TextList };

struct FieldRule {
    std::string_view name;
    FieldKind kind;
    bool required;
    std::size_t maxSize;      // bytes of a text, entries of a list
    std::size_t maxEntry = 0; // bytes of each entry of a list
};

struct MessageRule {
    std::string_view type;
    std::vector<FieldRule> fields;
};

inline constexpr std::size_t kMaxAddress = 8192;
inline constexpr std::size_t kMaxSearchLine = 1024;

const std::vector<MessageRule>& messageRules();

// The message in `body`, parsed and checked. Throws BadMessage with a one-line reason.
nlohmann::json parseMessage(std::string_view body);
// Throws BadMessage when `message` breaks its rule.
void checkMessage(const nlohmann::json& message);

} // namespace vellumite::toolbar
