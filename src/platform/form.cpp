// The form model: controls, their properties, and the events the page sends back.
#include "platform/form.h"

#include <stdexcept>

namespace platform {

using nlohmann::json;

std::string_view controlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
        return "label";
    case ControlKind::Link:
        return "link";
    case ControlKind::Text:
        return "text";
    case ControlKind::Password:
        return "password";
    case ControlKind::CheckBox:
        return "checkbox";
    case ControlKind::Button:
        return "button";
    case ControlKind::Combo:
        return "combo";
    case ControlKind::Progress:
        return "progress";
    case ControlKind::Browser:
        return "browser";
    case ControlKind::File:
        return "file";
    }
    return "label";
}

Form::Form(std::string name, Push push) : m_name(std::move(name)), m_push(std::move(push)) {
    m_caption = m_name;
}

Form& Form::add(std::string control, ControlKind kind, json props) {
    if (has(control))
        throw std::invalid_argument("form " + m_name + " already has a control " + control);
    if (!props.is_object())
        props = json::object();
    if (!props.contains("enabled"))
        props["enabled"] = true;
    if (!props.contains("visible"))
        props["visible"] = true;
    if (!props.contains("text"))
        props["text"] = "";
    m_controls.push_back(Control{std::move(control), kind, std::move(props)});
    if (m_visible && m_push)
        m_push(*this, json{{"op", "form"}, {"form", snapshot()}});
    return *this;
}

bool Form::has(std::string_view control) const {
    for (const auto& c : m_controls)
        if (c.name == control)
            return true;
    return false;
}

Control& Form::find(std::string_view control) {
    for (auto& c : m_controls)
        if (c.name == control)
            return c;
    throw std::out_of_range("form " + m_name + " has no control " + std::string(control));
}

const Control& Form::find(std::string_view control) const {
    return const_cast<Form*>(this)->find(control);
}

void Form::pushControl(const Control& c, std::string_view property) {
    if (m_push)
        m_push(*this, json{{"op", "formSet"},
                           {"form", m_name},
                           {"control", c.name},
                           {"property", property},
                           {"value", c.props.at(std::string(property))}});
}

void Form::set(std::string_view control, std::string_view property, json value) {
    Control& c = find(control);
    std::string key(property);
    if (c.props.contains(key) && c.props[key] == value)
        return;
    c.props[key] = std::move(value);
    pushControl(c, property);
}

json Form::get(std::string_view control, std::string_view property) const {
    const Control& c = find(control);
    auto it = c.props.find(std::string(property));
    return it == c.props.end() ? json() : *it;
}

std::string Form::text(std::string_view control) const {
    json v = get(control, "text");
    return v.is_string() ? v.get<std::string>() : std::string();
}

void Form::setText(std::string_view control, std::string_view text) {
    set(control, "text", std::string(text));
}

bool Form::checked(std::string_view control) const {
    json v = get(control, "checked");
    return v.is_boolean() && v.get<bool>();
}

void Form::setChecked(std::string_view control, bool checked) {
    set(control, "checked", checked);
}

bool Form::enabled(std::string_view control) const {
    json v = get(control, "enabled");
    return !v.is_boolean() || v.get<bool>();
}

void Form::setEnabled(std::string_view control, bool enabled) {
    set(control, "enabled", enabled);
}

void Form::setVisible(std::string_view control, bool visible) {
    set(control, "visible", visible);
}

std::vector<std::string> Form::items(std::string_view control) const {
    json v = get(control, "items");
    std::vector<std::string> out;
    if (v.is_array())
        for (const auto& item : v)
            out.push_back(item.is_string() ? item.get<std::string>() : item.dump());
    return out;
}

void Form::setItems(std::string_view control, const std::vector<std::string>& items) {
    set(control, "items", json(items));
}

void Form::setProgress(std::string_view control, int percent) {
    set(control, "value", std::clamp(percent, 0, 100));
}

void Form::setCaption(std::string caption) {
    if (caption == m_caption)
        return;
    m_caption = std::move(caption);
    if (m_push)
        m_push(*this, json{{"op", "formCaption"}, {"form", m_name}, {"caption", m_caption}});
}

void Form::show(bool topMost) {
    m_visible = true;
    m_topMost = topMost;
    if (m_push)
        m_push(*this, json{{"op", "form"}, {"form", snapshot()}});
}

void Form::hide() {
    if (!m_visible)
        return;
    m_visible = false;
    if (m_push)
        m_push(*this, json{{"op", "formHide"}, {"form", m_name}});
}

void Form::on(std::string control, std::string event, EventHandler handler) {
    m_handlers[{std::move(control), std::move(event)}] = std::move(handler);
}

void Form::on(std::string control, std::string event, std::function<void()> handler) {
    on(std::move(control), std::move(event),
       EventHandler([h = std::move(handler)](const std::string&) {
           h();
           return false;
       }));
}

bool Form::deliver(const std::string& control, const std::string& event, const json& props,
                   const std::string& argument) {
    if (event == "close") {
        m_visible = false;
    } else if (has(control) && props.is_object()) {
        // Only what the user can change travels back; the rest stays the logic's.
        Control& c = find(control);
        for (const char* key : {"text", "checked"})
            if (props.contains(key))
                c.props[key] = props[key];
    }
    auto it = m_handlers.find({control, event});
    if (it == m_handlers.end())
        return false;
    auto handler = it->second; // the handler may replace itself
    return handler(argument);
}

void Form::deliverPick(const std::string& control, std::unique_ptr<PickedFile> file,
                       const std::string& refusal) {
    if (!has(control))
        return;
    if (file)
        m_picked[control] = std::move(file);
    auto it = m_handlers.find({control, "pick"});
    if (it == m_handlers.end())
        return;
    auto handler = it->second;
    handler(refusal);
}

std::unique_ptr<PickedFile> Form::takePickedFile(std::string_view control) {
    auto it = m_picked.find(control);
    if (it == m_picked.end())
        return nullptr;
    auto file = std::move(it->second);
    m_picked.erase(it);
    return file;
}

json Form::snapshot() const {
    json controls = json::array();
    for (const auto& c : m_controls)
        controls.push_back(
            json{{"name", c.name}, {"kind", controlKindName(c.kind)}, {"props", c.props}});
    return json{{"name", m_name},
                {"caption", m_caption},
                {"visible", m_visible},
                {"topMost", m_topMost},
                {"controls", controls}};
}

} // namespace platform
