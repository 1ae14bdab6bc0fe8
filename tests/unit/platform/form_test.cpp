// The form model: what the page is told, and what the page's events change.
#include "platform/form.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using nlohmann::json;

struct Recorder {
    std::vector<json> changes;
    Form::Push push() {
        return [this](Form&, const json& change) { changes.push_back(change); };
    }
};

TEST(Form, PropertyChangesReachThePageOnlyWhenTheyChange) {
    Recorder page;
    Form form("frmImage", page.push());
    form.add("txtImageWidth", ControlKind::Text, {{"text", "200"}});
    EXPECT_TRUE(page.changes.empty()); // not shown yet
    form.show(true);
    ASSERT_EQ(page.changes.size(), 1u);
    EXPECT_EQ(page.changes[0]["op"], "form");
    EXPECT_EQ(page.changes[0]["form"]["topMost"], true);

    form.setText("txtImageWidth", "200"); // same value: nothing to say
    form.setText("txtImageWidth", "120");
    form.setEnabled("txtImageWidth", false);
    ASSERT_EQ(page.changes.size(), 3u);
    EXPECT_EQ(page.changes[1], (json{{"op", "formSet"},
                                     {"form", "frmImage"},
                                     {"control", "txtImageWidth"},
                                     {"property", "text"},
                                     {"value", "120"}}));
    EXPECT_EQ(page.changes[2]["property"], "enabled");
    EXPECT_FALSE(form.enabled("txtImageWidth"));
}

// Typed text and ticks reaching the handler from a real page: see the web host's browser test.
TEST(Form, EventsCarryOnlyWhatTheUserCanChange) {
    Recorder page;
    Form form("frmSelectURL", page.push());
    form.add("chkNewWindow", ControlKind::CheckBox).add("cmdMakeURLLink", ControlKind::Button);
    bool tickedWhenClicked = false;
    form.on("cmdMakeURLLink", "click", [&] { tickedWhenClicked = form.checked("chkNewWindow"); });
    form.deliver("chkNewWindow", "click", {{"checked", true}}, "");
    form.deliver("cmdMakeURLLink", "click", {{"enabled", false}}, "");
    EXPECT_TRUE(tickedWhenClicked);
    EXPECT_TRUE(form.enabled("cmdMakeURLLink")) << "enabling is the logic's, not the page's";
}

TEST(Form, UnknownControlsAndEventsAreErrorsOrIgnored) {
    Form form("frmPassword", nullptr);
    form.add("txtNewPass", ControlKind::Password);
    EXPECT_THROW(form.text("txtMissing"), std::out_of_range);
    EXPECT_THROW(form.add("txtNewPass", ControlKind::Text), std::invalid_argument);
    EXPECT_FALSE(form.deliver("txtMissing", "click", json::object(), "")); // a stale page
    form.show();
    EXPECT_TRUE(form.visible());
    EXPECT_FALSE(form.deliver("", "close", json::object(), ""));
    EXPECT_FALSE(form.visible());
}

TEST(Form, NavigateHandlersDecideWhetherToCancel) {
    Form form("frmManage", nullptr);
    form.add("webManage", ControlKind::Browser);
    form.on("webManage", "navigate", Form::EventHandler([](const std::string& address) {
                return address.find("<delete>") != std::string::npos;
            }));
    EXPECT_TRUE(form.deliver("webManage", "navigate", json::object(), "page?<delete>"));
    EXPECT_FALSE(form.deliver("webManage", "navigate", json::object(), "page.html"));
}

} // namespace
} // namespace platform
