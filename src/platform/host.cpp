// Pane and Document operations over the host's primitives, and the forms the host owns.
#include "platform/host.h"

namespace platform {

using nlohmann::json;

namespace {

json formRef(const FormRef& form) {
    if (const int* index = std::get_if<int>(&form))
        return *index;
    return std::get<std::string>(form);
}

std::string text(const json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

// A form submission sends every line break of a field as CR LF; the page reports LF alone
// (and a script may have put a lone CR in), so each break is made CR LF here.
std::string crLfBreaks(std::string value) {
    if (value.find_first_of("\r\n") == std::string::npos)
        return value;
    std::string out;
    out.reserve(value.size() + value.size() / 16);
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

// ---- Document

json Document::call(std::string_view op, json args, bool read) {
    return m_host->dom(m_path, op, std::move(args), read);
}

void Document::navigate(const std::filesystem::path& fileOrAddress) {
    m_host->navigate(m_path, fileOrAddress.string());
}

std::string Document::location() const {
    return m_host->location(m_path);
}

std::string Document::fieldValue(const FormRef& form, std::string_view field) {
    return crLfBreaks(text(call("getValue", {{"form", formRef(form)}, {"field", field}}, true)));
}

void Document::setFieldValue(const FormRef& form, std::string_view field, std::string_view value) {
    call("setValue", {{"form", formRef(form)}, {"field", field}, {"value", value}}, false);
}

bool Document::fieldChecked(const FormRef& form, std::string_view field) {
    json v = call("getChecked", {{"form", formRef(form)}, {"field", field}}, true);
    return v.is_boolean() && v.get<bool>();
}

void Document::setFieldChecked(const FormRef& form, std::string_view field, bool checked) {
    call("setChecked", {{"form", formRef(form)}, {"field", field}, {"checked", checked}}, false);
}

std::vector<FormElement> Document::formElements(const FormRef& form) {
    json v = call("formElements", {{"form", formRef(form)}}, true);
    std::vector<FormElement> out;
    if (v.is_array())
        for (const auto& e : v)
            out.push_back(FormElement{text(e.value("name", json())), text(e.value("type", json())),
                                      crLfBreaks(text(e.value("value", json()))),
                                      e.value("checked", false)});
    return out;
}

void Document::resetForm(const FormRef& form) {
    call("resetForm", {{"form", formRef(form)}}, false);
}

int Document::formCount() {
    json v = call("formCount", json::object(), true);
    return v.is_number_integer() ? v.get<int>() : 0;
}

bool Document::hasElement(std::string_view idOrName) {
    json v = call("hasElement", {{"element", idOrName}}, true);
    return v.is_boolean() && v.get<bool>();
}

void Document::setClassName(std::string_view idOrName, std::string_view className) {
    call("setClass", {{"element", idOrName}, {"value", className}}, false);
}

void Document::setText(std::string_view idOrName, std::string_view value) {
    call("setText", {{"element", idOrName}, {"value", value}}, false);
}

void Document::setInnerHtml(std::string_view idOrName, std::string_view html) {
    call("setHtml", {{"element", idOrName}, {"value", html}}, false);
}

void Document::setAttribute(std::string_view idOrName, std::string_view attribute,
                            std::string_view value) {
    call("setAttribute", {{"element", idOrName}, {"attribute", attribute}, {"value", value}},
         false);
}

void Document::setBodyHtml(std::string_view html) {
    call("setBodyHtml", {{"value", html}}, false);
}

void Document::scrollIntoView(std::string_view idOrName) {
    call("scrollIntoView", {{"element", idOrName}}, false);
}

void Document::focus(std::string_view idOrName) {
    call("focus", {{"element", idOrName}}, false);
}

Selection Document::selection() {
    json v = call("getSelection", json::object(), true);
    if (!v.is_object())
        return {};
    return Selection{text(v.value("text", json())), text(v.value("parentName", json()))};
}

void Document::replaceSelection(std::string_view value) {
    call("replaceSelection", {{"value", value}}, false);
}

int Document::saveSelection() {
    json v = call("saveSelection", json::object(), true);
    return v.is_number_integer() ? v.get<int>() : 0;
}

void Document::replaceSavedSelection(int saved, std::string_view value) {
    call("replaceSavedSelection", {{"saved", saved}, {"value", value}}, false);
}

FieldSelection Document::fieldSelection(const FormRef& form, std::string_view field) {
    json v = call("fieldSelection", {{"form", formRef(form)}, {"field", field}}, true);
    if (!v.is_object())
        return {};
    return FieldSelection{crLfBreaks(text(v.value("text", json()))), v.value("start", 0),
                          v.value("end", 0)};
}

void Document::replaceFieldRange(const FormRef& form, std::string_view field,
                                 const FieldSelection& expected, std::string_view value) {
    call("replaceFieldRange",
         {{"form", formRef(form)},
          {"field", field},
          {"start", expected.start},
          {"end", expected.end},
          {"expected", expected.text},
          {"value", value}},
         false);
}

void Document::appendFieldText(const FormRef& form, std::string_view field,
                               std::string_view value) {
    call("appendFieldText", {{"form", formRef(form)}, {"field", field}, {"value", value}}, false);
}

void Document::setStyleRule(int sheet, int rule, std::string_view property,
                            std::string_view value) {
    call("setStyleRule",
         {{"sheet", sheet}, {"rule", rule}, {"property", property}, {"value", value}}, false);
}

std::string Document::styleSheetText(int sheet) {
    return text(call("styleSheetText", {{"sheet", sheet}}, true));
}

// ---- Pane

void Pane::navigate(const std::filesystem::path& fileOrAddress) {
    m_host->navigate(DocPath{m_name, {}}, fileOrAddress.string());
}

void Pane::bringToFront() {
    m_host->setPaneOrder(m_name, true);
}

void Pane::sendToBack() {
    m_host->setPaneOrder(m_name, false);
}

bool Pane::busy() const {
    return m_host->busy(m_name);
}

bool Pane::waitUntilNotBusy(std::optional<std::chrono::milliseconds> timeout) {
    return m_host->waitUntilNotBusy(m_name, timeout);
}

// ---- Host

Form& Host::form(const std::string& name) {
    if (Form* f = findForm(name))
        return *f;
    auto made = std::make_unique<Form>(
        name, [this](Form& f, const json& change) { formChanged(f, change); });
    Form& ref = *made;
    m_forms.emplace(name, std::move(made));
    return ref;
}

Form* Host::findForm(const std::string& name) {
    auto it = m_forms.find(name);
    return it == m_forms.end() ? nullptr : it->second.get();
}

void Host::unloadForm(const std::string& name) {
    auto it = m_forms.find(name);
    if (it == m_forms.end())
        return;
    // A form may unload itself from one of its own handlers: Form::deliver runs a copy of the
    // handler and touches nothing after it, so the form can go here.
    auto doomed = std::move(it->second);
    m_forms.erase(it);
    formUnloaded(name);
}

void Host::unloadAllForms() {
    while (!m_forms.empty())
        unloadForm(m_forms.begin()->first);
}

} // namespace platform
