// The in-memory Host: applies each document operation to plain data and records it.
#include "support/fake_host.h"

#include <algorithm>

namespace vellumite::testing {

using nlohmann::json;
using platform::DomError;

FakeDocument& FakeDocument::form(const std::string& name,
                                 const std::vector<std::pair<std::string, std::string>>& fields) {
    if (!forms.contains(name))
        formOrder.push_back(name);
    auto& list = forms[name];
    for (const auto& [field, value] : fields)
        list.push_back(platform::FormElement{field, "text", value, false});
    return *this;
}

platform::FormElement& FakeDocument::field(const std::string& formName, const std::string& name) {
    auto it = forms.find(formName);
    if (it == forms.end())
        throw DomError("The page has no form \"" + formName + "\".");
    for (auto& e : it->second)
        if (e.name == name)
            return e;
    throw DomError("The form \"" + formName + "\" has no field \"" + name + "\".");
}

// The next scripted answer, if the test gave one.
template <typename T>
static std::optional<T> takeFirst(std::deque<T>& answers) {
    if (answers.empty())
        return std::nullopt;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

FakeHost::FakeHost(std::vector<std::string> paneNames, platform::EventLoop* loop)
    : Host(paneNames), paneOrder(std::move(paneNames)), m_loop(loop) {}

std::string FakeHost::key(const platform::DocPath& where) {
    std::string k = where.pane;
    for (int f : where.frames)
        k += "/" + std::to_string(f);
    return k;
}

platform::MsgResult FakeHost::msgBox(std::string_view text, std::string_view title,
                                     platform::MsgButtons buttons) {
    messages.push_back(FakeMessage{std::string(text), std::string(title), buttons});
    return takeFirst(msgAnswers)
        .value_or(buttons == platform::MsgButtons::YesNo ? platform::MsgResult::No
                                                         : platform::MsgResult::Ok);
}

std::optional<std::string> FakeHost::inputBox(std::string_view prompt, std::string_view,
                                              std::string_view) {
    inputPrompts.emplace_back(prompt);
    return takeFirst(inputAnswers).value_or(std::nullopt);
}

std::optional<std::filesystem::path> FakeHost::openFileDialog(std::string_view, std::string_view) {
    return std::nullopt;
}

void FakeHost::openWindow(const std::string& address, const std::string& windowName) {
    openedWindows.emplace_back(address, windowName);
}

std::string FakeHost::previewAddress(std::string_view relativeOutputPath) const {
    return "preview:" + std::string(relativeOutputPath);
}

void FakeHost::navigate(const platform::DocPath& where, const std::string& address) {
    navigations.emplace_back(where, address);
    doc(where).location = address;
}

std::string FakeHost::location(const platform::DocPath& where) const {
    auto it = m_docs.find(key(where));
    return it == m_docs.end() ? std::string() : it->second.location;
}

void FakeHost::setPaneOrder(const std::string& pane, bool front) {
    paneOrder.erase(std::remove(paneOrder.begin(), paneOrder.end(), pane), paneOrder.end());
    if (front)
        paneOrder.push_back(pane);
    else
        paneOrder.insert(paneOrder.begin(), pane);
}

bool FakeHost::busy(const std::string& pane) const {
    auto it = busyPanes.find(pane);
    return it != busyPanes.end() && it->second;
}

bool FakeHost::waitUntilNotBusy(const std::string& pane,
                                std::optional<std::chrono::milliseconds> timeout) {
    if (!busy(pane))
        return true;
    if (!m_loop)
        return false;
    return m_loop->runUntil([&] { return !busy(pane); }, timeout);
}

json FakeHost::dom(const platform::DocPath& where, std::string_view op, json args, bool) {
    FakeDocument& d = doc(where);

    auto formName = [&]() -> std::string {
        const json& f = args.at("form");
        if (f.is_number_integer()) {
            int index = f.get<int>();
            if (index < 0 || index >= static_cast<int>(d.formOrder.size()))
                throw DomError("The page has no form number " + std::to_string(index) + ".");
            return d.formOrder[static_cast<std::size_t>(index)];
        }
        return f.get<std::string>();
    };
    auto field = [&]() -> platform::FormElement& {
        return d.field(formName(), args.at("field").get<std::string>());
    };
    auto element = [&]() -> FakeElement& {
        std::string name = args.at("element").get<std::string>();
        auto it = d.elements.find(name);
        if (it == d.elements.end())
            throw DomError("The page has no element \"" + name + "\".");
        return it->second;
    };
    auto value = [&] { return args.at("value").get<std::string>(); };

    if (op == "getValue")
        return field().value;
    if (op == "getChecked")
        return field().checked;
    if (op == "setValue") {
        field().value = value();
        return nullptr;
    }
    if (op == "formElements") {
        json out = json::array();
        std::string name = formName();
        if (!d.forms.contains(name))
            throw DomError("The page has no form \"" + name + "\".");
        for (const auto& e : d.forms[name])
            out.push_back(
                {{"name", e.name}, {"type", e.type}, {"value", e.value}, {"checked", e.checked}});
        return out;
    }
    if (op == "setClass") {
        element().className = value();
        return nullptr;
    }
    if (op == "setText") {
        element().text = value();
        return nullptr;
    }
    if (op == "setAttribute") {
        element().attributes[args.at("attribute").get<std::string>()] = value();
        return nullptr;
    }
    if (op == "setBodyHtml") {
        d.bodyHtml = value();
        return nullptr;
    }
    const int sheet = args.value("sheet", -1);
    if (op == "setStyleRule") {
        d.styleRules[{sheet, args.at("rule").get<int>()}][args.at("property").get<std::string>()] =
            value();
        return nullptr;
    }
    if (op == "styleSheetText") {
        if (!d.styleSheets.contains(sheet))
            throw DomError("The page has no style sheet " + std::to_string(sheet) + ".");
        return d.styleSheets[sheet];
    }
    if (op == "focus" || op == "scrollIntoView") {
        d.focused.push_back(args.at("element").get<std::string>());
        return nullptr;
    }
    throw DomError("unknown page operation " + std::string(op));
}

} // namespace vellumite::testing
