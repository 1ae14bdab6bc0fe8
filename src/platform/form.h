// A secondary window as a model of named controls; the host renders it as a floating panel.
#pragma once

#include "platform/picked_file.h"

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Kinds of control a form can hold.
enum class ControlKind {
    Label,    // text
    Link,     // a label that can be clicked ("Cancel")
    Text,     // one-line text box
    Password, // one-line text box, hidden input
    CheckBox,
    Button,
    Combo,    // text box with a list of entries to pick from
    Progress, // 0..100
    Browser,  // a small page view: its navigations reach the form's before-navigate handler
    File,     // a button that opens the browser's file chooser ("accept": the types offered)
};

std::string_view controlKindName(ControlKind kind);

// One control: its kind and properties. Properties the page understands: "text" (caption or
// value), "checked", "enabled", "visible", "items" (Combo entries; with "listOnly" only an
// entry can be chosen, and the choice is a "click"), "value" (Progress), "address" (Browser),
// "accept" (File), "row" (controls with the same row share a line), "width" (in ems).
struct Control {
    std::string name;
    ControlKind kind;
    nlohmann::json props = nlohmann::json::object();
};

// A form is made once (Host::form) and lives until it is unloaded. The logic sets properties
// and reads them back at once: what the user types or ticks reaches the model as it happens,
// before any click that follows it. Events: "click" (buttons, links, check boxes), "change"
// (text, combo, check box), "navigate" (browser; the address is the event's argument, and the
// handler's result says whether to cancel), "close" (the window's close button), "pick" (a file
// control: the file arrived, or the argument says why it did not).
class Form {
public:
    using Push = std::function<void(Form&, const nlohmann::json& change)>;
    using EventHandler = std::function<bool(const std::string& argument)>;

    Form(std::string name, Push push);

    const std::string& name() const { return m_name; }

    // Declares a control (controls appear in the order declared).
    Form& add(std::string control, ControlKind kind, nlohmann::json props = {});
    bool has(std::string_view control) const;
    const std::vector<Control>& controls() const { return m_controls; }

    // Properties of a control; an unknown control name throws std::out_of_range.
    std::string text(std::string_view control) const;
    void setText(std::string_view control, std::string_view text);
    bool checked(std::string_view control) const;
    void setChecked(std::string_view control, bool checked);
    bool enabled(std::string_view control) const;
    void setEnabled(std::string_view control, bool enabled);
    void setVisible(std::string_view control, bool visible);
    std::vector<std::string> items(std::string_view control) const;
    void setItems(std::string_view control, const std::vector<std::string>& items);
    void setProgress(std::string_view control, int percent);
    void set(std::string_view control, std::string_view property, nlohmann::json value);
    nlohmann::json get(std::string_view control, std::string_view property) const;

    // The window: caption, shown or hidden, kept above the panes or not.
    void setCaption(std::string caption);
    const std::string& caption() const { return m_caption; }
    void show(bool topMost = false);
    void hide();
    bool visible() const { return m_visible; }

    // Handlers of the page's events, by control and event name.
    void on(std::string control, std::string event, EventHandler handler);
    void on(std::string control, std::string event, std::function<void()> handler);

    // Called by the host when the page reports an event. Applies the properties it carries
    // (the control's new text or checked state), then runs the handler. Returns the handler's
    // answer (false when there is none).
    bool deliver(const std::string& control, const std::string& event, const nlohmann::json& props,
                 const std::string& argument);

    // Called by the host when a file chosen in a File control arrived (`file`), or could not
    // (`refusal` says why): keeps the file for takePickedFile, then runs the "pick" handler
    // with the refusal as its argument. A file not taken goes with the next one or the form.
    void deliverPick(const std::string& control, std::unique_ptr<PickedFile> file,
                     const std::string& refusal);
    std::unique_ptr<PickedFile> takePickedFile(std::string_view control);

    // The whole form, for a page that (re)draws it.
    nlohmann::json snapshot() const;

private:
    Control& find(std::string_view control);
    const Control& find(std::string_view control) const;
    void pushControl(const Control& c, std::string_view property);

    std::string m_name;
    Push m_push;
    std::string m_caption;
    bool m_visible = false;
    bool m_topMost = false;
    std::vector<Control> m_controls;
    std::map<std::pair<std::string, std::string>, EventHandler> m_handlers;
    std::map<std::string, std::unique_ptr<PickedFile>, std::less<>> m_picked;
};

} // namespace platform
