// An in-memory Host for unit tests of the logic: documents as data, scripted dialog answers.
#pragma once

#include "platform/event_loop.h"
#include "platform/host.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vellumite::testing {

// One document's content as the logic sees it. Tests fill it before a command and inspect it
// after. Element entries are found by id or name.
struct FakeElement {
    std::string className;
    std::string text;
    std::map<std::string, std::string> attributes;
};

struct FakeDocument {
    std::string location;
    std::map<std::string, std::vector<platform::FormElement>> forms; // in document order
    std::vector<std::string> formOrder;
    std::map<std::string, FakeElement> elements;
    std::string bodyHtml;
    // Style sheets by index: their text as read, and the properties set on rule (sheet, n).
    std::map<int, std::string> styleSheets;
    std::map<std::pair<int, int>, std::map<std::string, std::string>> styleRules;
    std::vector<std::string> focused; // elements given the focus or scrolled to, in order

    // Adds a form with the given fields (name, value) of type "text".
    FakeDocument& form(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& fields);
    platform::FormElement& field(const std::string& form, const std::string& name);
};

struct FakeMessage {
    std::string text;
    std::string title;
    platform::MsgButtons buttons;
};

class FakeHost : public platform::Host {
public:
    // `loop` is pumped by waits (busy panes); it may be null when no test waits.
    explicit FakeHost(std::vector<std::string> paneNames, platform::EventLoop* loop = nullptr);

    FakeDocument& doc(const platform::DocPath& where) { return m_docs[key(where)]; }
    FakeDocument& doc(const std::string& pane) { return doc(platform::DocPath{pane, {}}); }

    // Scripted answers, used in order. Without one, Yes/No answers No, OK answers OK, an input
    // box is cancelled. A file dialog is always cancelled.
    std::deque<platform::MsgResult> msgAnswers;
    std::deque<std::optional<std::string>> inputAnswers;

    // What the logic did.
    std::vector<FakeMessage> messages;
    std::vector<std::string> inputPrompts;
    std::vector<std::pair<platform::DocPath, std::string>> navigations;
    std::vector<std::pair<std::string, std::string>> openedWindows; // address, window name
    std::vector<std::string> paneOrder; // bottom first; the last is in front
    std::map<std::string, bool> busyPanes;

    using Host::fireDocumentComplete; // the page's load event, as the web host fires it
    std::string frontPane() const { return paneOrder.empty() ? "" : paneOrder.back(); }

    void setCaption(std::string caption) override { m_caption = std::move(caption); }
    std::string caption() const override { return m_caption; }
    platform::MsgResult msgBox(std::string_view text, std::string_view title,
                               platform::MsgButtons buttons) override;
    std::optional<std::string> inputBox(std::string_view prompt, std::string_view title,
                                        std::string_view initial) override;
    std::optional<std::filesystem::path> openFileDialog(std::string_view title,
                                                        std::string_view filter) override;
    void openWindow(const std::string& address, const std::string& windowName) override;
    std::string previewAddress(std::string_view relativeOutputPath) const override;

    void navigate(const platform::DocPath& where, const std::string& address) override;
    std::string location(const platform::DocPath& where) const override;
    void setPaneOrder(const std::string& pane, bool front) override;
    bool busy(const std::string& pane) const override;
    bool waitUntilNotBusy(const std::string& pane,
                          std::optional<std::chrono::milliseconds> timeout) override;
    nlohmann::json dom(const platform::DocPath& where, std::string_view op, nlohmann::json args,
                       bool read) override;

protected:
    void formChanged(platform::Form&, const nlohmann::json&) override {}
    void formUnloaded(const std::string&) override {}

private:
    static std::string key(const platform::DocPath& where);
    platform::EventLoop* m_loop;
    std::string m_caption;
    std::map<std::string, FakeDocument> m_docs;
};

} // namespace vellumite::testing
