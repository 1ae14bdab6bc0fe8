// The import and account set-up that open the import window, and the checks on the manager
// page's commands.
#include "core/panes.h"
#include "resources/manage_window.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

class ManageWindow : public ::testing::Test, protected testing_support::AppFixture {
protected:
    ManageWindow() {
        app.logId = addSite("Mine", {{"lastnewsimport", "20240101093000"},
                                     {"Resourceusername", "old"},
                                     {"Resourcepassword", "oldpw"}});
    }
    void typeAccount(const std::string& user, const std::string& password, bool remember) {
        auto& doc = host.doc(std::string(pane::Content));
        doc.form(
            "importform",
            {{"importusername", user}, {"importpassword", password}, {"detailremember", "on"}});
        doc.field("importform", "detailremember").type = "checkbox";
        doc.field("importform", "detailremember").checked = remember;
    }
    std::string managerAddress() {
        return host.findForm(std::string(kManageForm))->get(kManageView, "address");
    }
    ResourceImport window{app};
};

TEST_F(ManageWindow, ImportAsksForWhatCameSinceTheImportBeforeAndKeepsTheAccountOnlyIfAsked) {
    struct Case {
        bool remember;
        const char* storedUser;
        const char* storedPassword;
    };
    for (const Case& c : {Case{false, "", ""}, Case{true, "ann", "a&b#c"}}) {
        typeAccount("ann", "a&b#c", c.remember);
        const std::string before = siteField(app.logId, "lastnewsimport").toText();
        window.subStartImport();
        EXPECT_TRUE(managerAddress().ends_with("/view/manageResources.php?username=ann&password="
                                               "a%26b%23c&lastupdate=" +
                                               before))
            << managerAddress();
        EXPECT_EQ(siteField(app.logId, "Resourceusername").toText(), c.storedUser);
        EXPECT_EQ(siteField(app.logId, "Resourcepassword").toText(), c.storedPassword);
        EXPECT_EQ(siteField(app.logId, "rememberdetails").toBool(), c.remember);
        const std::string written = siteField(app.logId, "lastnewsimport").toText();
        EXPECT_EQ(written.size(), 14u);
        EXPECT_NE(written, "20240101093000");
    }
    EXPECT_TRUE(host.findForm(std::string(kManageForm))->visible());
}

TEST_F(ManageWindow, SetupLeavesTheImportTimeAndEmptiesAnAccountNotRemembered) {
    typeAccount("ann", "pw", false);
    window.subResourceSetup();
    EXPECT_TRUE(
        managerAddress().ends_with("manageResources.php?username=ann&password=pw&setup=true"));
    EXPECT_EQ(siteField(app.logId, "lastnewsimport").toText(), "20240101093000");
    EXPECT_EQ(host.doc(std::string(pane::Content)).field("importform", "importusername").value, "");
}

TEST_F(ManageWindow, ThePageCommandsAreCheckedBeforeAnythingIsDone) {
    typeAccount("ann", "pw", false);
    window.subResourceSetup();
    const std::string shown = managerAddress();
    const std::pair<const char*, bool> cases[] = {
        {"<delete>?user=ann&password=pw&item=wire-101-7&item=bad", false},
        {"<setTimes>?days=7&total=20&userid=77x", false},
        {"<setTimes>?days=seven&total=20&userid=77", false},
        {"<delete>?user=ann&password=a%26b&item=wire-101-7&item=desk-201-9", true},
    };
    for (const auto& [address, carriedOut] : cases) {
        host.messages.clear();
        window.managerCommand(address);
        EXPECT_EQ(host.messages.empty(), carriedOut) << address;
    }
    EXPECT_NE(managerAddress(), shown);
    EXPECT_TRUE(
        managerAddress().ends_with("username=ann&password=a%26b&delete=wire-101-7,desk-201-9"));
    const auto parsed = parseManagerCommand("%3Cx%3E/<import>?item=a-b-c&item=d-e-f&user=u%20v");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->items, (std::vector<std::string>{"a-b-c", "d-e-f"}));
    EXPECT_EQ(parsed->user, "u v");
    EXPECT_FALSE(parseManagerCommand("manageResources.php?user=a"));
}

} // namespace
} // namespace vellumite
