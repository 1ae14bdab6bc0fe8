// The window the logic draws in: panes of pages, their documents, modal dialogs and floating forms.
#pragma once

#include "platform/form.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// How the logic uses the host (the web host in the program, FakeHost in unit tests):
//
//   Pane pane = host.pane("webContent");
//   files::writeFileAtomic(appFolder / "html/contentedit.html", page);   // write the page whole,
//   pane.navigate(appFolder / "html/contentedit.html");                   // then point the pane
//   pane.bringToFront();                                                   // at it (or a frame:
//   pane.document().frame(0).navigate(appFolder / "html/currentposts.html"); //  frame(n))
//   std::string title = pane.document().fieldValue("PostForm", "Title");
//   if (host.msgBox("Are you sure?", "Delete post?", MsgButtons::YesNo) != MsgResult::Yes) ...
//
// Writes are queued in order and return at once. Reads (field values, selection, busy state
// of a shown page) wait in a nested pump of the event loop until the page answers, so other
// events, page commands included, may run meanwhile. Every operation on an element or form
// that the page does not have throws DomError; nothing fails silently.

class DomError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Which document an operation acts on: the top document of a pane, or frame n of it
// (frames counted from 0 in document order), nested as deep as the pages go.
struct DocPath {
    std::string pane;
    std::vector<int> frames;

    DocPath frame(int index) const {
        DocPath p = *this;
        p.frames.push_back(index);
        return p;
    }
    bool operator==(const DocPath&) const = default;
};

// A form addressed by its name or by its index among the document's forms.
using FormRef = std::variant<std::string, int>;

struct FormElement {
    std::string name;
    std::string type; // "text", "checkbox", "textarea", "hidden", "select-one", ...
    std::string value;
    bool checked = false;
};

// The selection inside one text field: its text, and where it starts and ends in the page's
// own units (to be handed back unchanged, never counted in bytes).
struct FieldSelection {
    std::string text; // with CR LF line breaks, as field values are read
    int start = 0;
    int end = 0;
};

// The document's current selection, or the selection inside the focused text field.
struct Selection {
    std::string text;
    std::string parentName; // the "name" of the element holding it ("" when none)
};

enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

class Host;

// Typed operations on one document. Cheap to copy; it only names the document.
class Document {
public:
    Document(Host& host, DocPath path) : m_host(&host), m_path(std::move(path)) {}

    const DocPath& path() const { return m_path; }
    Document frame(int index) const { return Document(*m_host, m_path.frame(index)); }

    // Shows a file of the app folder (or "about:blank", or a web address) in this document.
    void navigate(const std::filesystem::path& fileOrAddress);
    // The address now shown, as the logic named it (a file path, "about:blank" or a URL).
    std::string location() const;

    // Form fields: value as text (inputs and textareas alike) and checked state. Values read
    // have CR LF line breaks, as a form submission sends them, whatever the page reports.
    std::string fieldValue(const FormRef& form, std::string_view field);
    void setFieldValue(const FormRef& form, std::string_view field, std::string_view value);
    bool fieldChecked(const FormRef& form, std::string_view field);
    void setFieldChecked(const FormRef& form, std::string_view field, bool checked);
    // Every element of the form in document order (one read for a whole form).
    std::vector<FormElement> formElements(const FormRef& form);
    void resetForm(const FormRef& form);
    // Number of forms in the document; whether an element of that id or name exists.
    int formCount();
    bool hasElement(std::string_view idOrName);

    // Elements by id or name (every element of that name for the attribute setter).
    void setClassName(std::string_view idOrName, std::string_view className);
    void setText(std::string_view idOrName, std::string_view text); // as text, never markup
    void setInnerHtml(std::string_view idOrName, std::string_view html);
    void setAttribute(std::string_view idOrName, std::string_view attribute,
                      std::string_view value);
    void setBodyHtml(std::string_view html);
    void scrollIntoView(std::string_view idOrName);
    void focus(std::string_view idOrName);

    // The selection: read, and replace its text (the replacement is selected afterwards).
    Selection selection();
    void replaceSelection(std::string_view text);
    // Keeps the current selection under a number, for a dialog that inserts later.
    int saveSelection();
    void replaceSavedSelection(int saved, std::string_view text);

    // One text field's selection, read, and replaced in place: characters start..end become
    // `text`, which is selected afterwards. The replacement is refused (DomError, through the
    // page's report) when those characters are no longer `expected`, so text typed meanwhile
    // is never overwritten.
    FieldSelection fieldSelection(const FormRef& form, std::string_view field);
    void replaceFieldRange(const FormRef& form, std::string_view field,
                           const FieldSelection& expected, std::string_view text);
    // Adds `text` at the end of a text field, leaving its selection where it was.
    void appendFieldText(const FormRef& form, std::string_view field, std::string_view text);

    // Style sheets by index: set one property of rule n; read a sheet's whole text.
    void setStyleRule(int sheet, int rule, std::string_view property, std::string_view value);
    std::string styleSheetText(int sheet);

private:
    nlohmann::json call(std::string_view op, nlohmann::json args, bool read);
    Host* m_host;
    DocPath m_path;
};

// One of the stacked panes of the main window.
class Pane {
public:
    Pane(Host& host, std::string name) : m_host(&host), m_name(std::move(name)) {}
    const std::string& name() const { return m_name; }

    void navigate(const std::filesystem::path& fileOrAddress);
    void bringToFront();
    void sendToBack();
    // True from a navigation until the page (frames included) has loaded.
    bool busy() const;
    // Pumps the loop until the pane is no longer busy (or the timeout passes).
    bool waitUntilNotBusy(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    Document document() const { return Document(*m_host, DocPath{m_name, {}}); }

private:
    Host* m_host;
    std::string m_name;
};

// The main window. One per process; owned by the program's start-up.
class Host {
public:
    virtual ~Host() = default;

    Pane pane(std::string_view name) { return Pane(*this, std::string(name)); }
    const std::vector<std::string>& paneNames() const { return m_paneNames; }

    // The window caption (the shell page's title).
    virtual void setCaption(std::string caption) = 0;
    virtual std::string caption() const = 0;

    // Modal dialogs: block the panes until answered. While one is open, the loop keeps running.
    virtual MsgResult msgBox(std::string_view text, std::string_view title,
                             MsgButtons buttons = MsgButtons::Ok) = 0;
    // The typed text; nothing when cancelled.
    virtual std::optional<std::string> inputBox(std::string_view prompt, std::string_view title,
                                                std::string_view initial = {}) = 0;
    // An input box whose typed text is not shown, for passwords. Hosts that cannot hide it
    // ask with the ordinary input box.
    virtual std::optional<std::string> passwordBox(std::string_view prompt,
                                                   std::string_view title) {
        return inputBox(prompt, title);
    }
    // A file of the user's choice; `filter` reads "Images | *.gif;*.jpg". Nothing when cancelled.
    virtual std::optional<std::filesystem::path> openFileDialog(std::string_view title,
                                                                std::string_view filter) = 0;

    // Opens (or reuses) the browser window of that name at `address`
    // (a web address, or a file of the app folder).
    virtual void openWindow(const std::string& address, const std::string& windowName) = 0;
    // The address under which a generated site file of html/output/ is previewed: another
    // origin with no secret of the editor's, sandboxed, so the site's scripts cannot reach it.
    virtual std::string previewAddress(std::string_view relativeOutputPath) const = 0;

    // Floating secondary windows, made on first use; unloadForm() destroys one.
    Form& form(const std::string& name);
    Form* findForm(const std::string& name);
    void unloadForm(const std::string& name);
    void unloadAllForms();

    // Events of the panes. Before-navigate returns true to cancel the navigation. A handler
    // that knows its answer before its work is done calls `decided(cancel)` first, so that the
    // page is answered at once (`decided` may be empty).
    using BeforeNavigate = std::function<bool(const std::string& pane, const std::string& address,
                                              const std::function<void(bool cancel)>& decided)>;
    using DocumentComplete =
        std::function<void(const std::string& pane, const std::string& address)>;
    void onBeforeNavigate(BeforeNavigate handler) { m_beforeNavigate = std::move(handler); }
    void onDocumentComplete(DocumentComplete handler) { m_documentComplete = std::move(handler); }

    // The primitives Pane and Document stand on.
    virtual void navigate(const DocPath& where, const std::string& address) = 0;
    virtual std::string location(const DocPath& where) const = 0;
    virtual void setPaneOrder(const std::string& pane, bool front) = 0;
    virtual bool busy(const std::string& pane) const = 0;
    virtual bool waitUntilNotBusy(const std::string& pane,
                                  std::optional<std::chrono::milliseconds> timeout) = 0;
    // One document operation. `read` operations wait for and return the page's answer.
    virtual nlohmann::json dom(const DocPath& where, std::string_view op, nlohmann::json args,
                               bool read) = 0;

protected:
    explicit Host(std::vector<std::string> paneNames) : m_paneNames(std::move(paneNames)) {}
    // A form's properties changed, or it was shown, hidden or unloaded: tell the page.
    virtual void formChanged(Form& form, const nlohmann::json& change) = 0;
    virtual void formUnloaded(const std::string& name) = 0;

    // For the implementations: hand the events of the page to the logic.
    bool fireBeforeNavigate(const std::string& pane, const std::string& address,
                            const std::function<void(bool)>& decided = {}) {
        return m_beforeNavigate ? m_beforeNavigate(pane, address, decided) : false;
    }
    void fireDocumentComplete(const std::string& pane, const std::string& address) {
        if (m_documentComplete)
            m_documentComplete(pane, address);
    }
    std::map<std::string, std::unique_ptr<Form>>& forms() { return m_forms; }

private:
    std::vector<std::string> m_paneNames;
    BeforeNavigate m_beforeNavigate;
    DocumentComplete m_documentComplete;
    std::map<std::string, std::unique_ptr<Form>> m_forms;
};

} // namespace platform
