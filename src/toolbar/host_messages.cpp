// Checking the extension's messages.
#include "toolbar/host_messages.h"

#include <string>

namespace vellumite::toolbar {

namespace {

using K = FieldKind;

// Browser tab and window ids are whole numbers well inside a double's exact range.
constexpr std::int64_t kMaxId = std::int64_t{1} << 53;

FieldRule tab() {
    return {"tab", K::Number, true, 0};
}
FieldRule url(bool required = true) {
    return {"url", K::Text, required, kMaxAddress};
}

std::string kindName(FieldKind kind) {
    switch (kind) {
    case K::Flag:
        return "true or false";
    case K::Number:
        return "a whole number";
    case K::Text:
        return "a text";
    case K::TextList:
        return "a list of texts";
    }
    return "";
}

void checkField(const nlohmann::json& value, const FieldRule& rule) {
    auto fail = [&](const std::string& why) {
        throw BadMessage("field \"" + std::string(rule.name) + "\" " + why);
    };
    switch (rule.kind) {
    case K::Flag:
        if (!value.is_boolean())
            fail("must be " + kindName(rule.kind));
        break;
    case K::Number: {
        if (!value.is_number_integer())
            fail("must be " + kindName(rule.kind));
        auto n = value.get<std::int64_t>();
        if (n < -1 || n > kMaxId)
            fail("is out of range");
        break;
    }
    case K::Text:
        if (!value.is_string())
            fail("must be " + kindName(rule.kind));
        if (value.get_ref<const std::string&>().size() > rule.maxSize)
            fail("is longer than " + std::to_string(rule.maxSize) + " bytes");
        break;
    case K::TextList:
        if (!value.is_array())
            fail("must be " + kindName(rule.kind));
        if (value.size() > rule.maxSize)
            fail("has more than " + std::to_string(rule.maxSize) + " entries");
        for (const auto& entry : value) {
            if (!entry.is_string())
                fail("must be " + kindName(rule.kind));
            if (entry.get_ref<const std::string&>().size() > rule.maxEntry)
                fail("has an entry longer than " + std::to_string(rule.maxEntry) + " bytes");
        }
        break;
    }
}

} // namespace

const std::vector<MessageRule>& messageRules() {
    static const std::vector<MessageRule> rules = {
        // The band's life cycle on this connection.
        {"setSite", {{"window", K::Number, true, 0}}},
        {"show", {{"visible", K::Flag, true, 0}}},
        {"close", {}},
        // The browser's events in the window's tabs.
        {"tabActivated", {tab(), url()}},
        {"beforeNavigate", {tab(), url()}},
        {"documentComplete", {tab(), url()}},
        {"tabClosed", {tab()}},
        // The band window.
        {"padlock", {}},
        {"itemsOpen", {}},
        {"itemsSave", {{"lines", K::TextList, true, 10, kMaxSearchLine}}},
        {"itemsCancel", {}},
        {"itemsLink", {{"link", K::Text, true, 32}}},
        {"menuOpen", {}},
        {"menuChoose", {{"item", K::Number, true, 0}}},
        {"about", {}},
        {"drop",
         {{"types", K::TextList, true, 32, 256}, {"text", K::Text, true, 512 * 1024}, url(false)}},
        // The scrapbook page.
        {"scrapbookShow", {tab()}},
        {"scrapbookLink", {tab(), {"from", K::Text, true, kMaxAddress}, url()}},
        // Answers to the host's requests for page work.
        {"reply",
         {{"id", K::Number, true, 0},
          {"count", K::Number, false, 0},
          {"found", K::Flag, false, 0},
          {"interrupted", K::Flag, false, 0},
          {"error", K::Text, false, 1024}}},
    };
    return rules;
}

void checkMessage(const nlohmann::json& message) {
    if (!message.is_object())
        throw BadMessage("a message must be a JSON object");
    auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        throw BadMessage("a message must have a \"type\" text");
    const auto& name = type->get_ref<const std::string&>();
    const MessageRule* rule = nullptr;
    for (const auto& r : messageRules())
        if (r.type == name)
            rule = &r;
    if (!rule)
        throw BadMessage("unknown message type \"" + name.substr(0, 64) + "\"");
    for (const auto& [key, value] : message.items()) {
        if (key == "type")
            continue;
        const FieldRule* field = nullptr;
        for (const auto& f : rule->fields)
            if (f.name == key)
                field = &f;
        if (!field)
            throw BadMessage("unknown field \"" + key.substr(0, 64) + "\" in \"" + name + "\"");
        checkField(value, *field);
    }
    for (const auto& field : rule->fields)
        if (field.required && !message.contains(field.name))
            throw BadMessage("\"" + name + "\" needs the field \"" + std::string(field.name) +
                             "\"");
}

nlohmann::json parseMessage(std::string_view body) {
    auto message = nlohmann::json::parse(body, nullptr, false);
    if (message.is_discarded())
        throw BadMessage("the message is not valid JSON");
    checkMessage(message);
    return message;
}

} // namespace vellumite::toolbar
