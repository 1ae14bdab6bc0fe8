// The import window frmManage: the service's manager page in its webManage view, the import and
// account set-up that open it, and the three commands of the page.
#pragma once

#include "core/app_state.h"
#include "platform/http_client.h"
#include "resources/resource_exchange.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

inline constexpr std::string_view kManageForm = "frmManage";
inline constexpr std::string_view kManageView = "webManage";
inline constexpr std::string_view kImportWaitingPage = "template-import-template.html";

// The news-alert account form of the content edit page.
struct ResourceAccount {
    std::string user, password;
    bool remember = false;
};
ResourceAccount readResourceAccount(AppState& app);

// Keeps the account in the site row when it is to be remembered, else empties it; with
// `importTime`, records it as the time of the last import.
void storeResourceAccount(platform::Database& db, std::int32_t logId,
                          const ResourceAccount& account,
                          const std::optional<std::string>& importTime);

// A command of the manager page as its agent sends it: the link's path, then the page's values
// in the query ("user", "password", one "item" per checked box in page order, "days", "total",
// "userid"), each percent-encoded.
struct ManagerCommand {
    std::string command; // "<delete>", "<import>" or "<setTimes>"
    std::string user, password;
    std::vector<std::string> items;
    std::string days, total, userId;
};
std::optional<ManagerCommand> parseManagerCommand(std::string_view address);

// A whole number in 32 bits and nothing else (blanks around it allowed).
std::optional<std::int32_t> wholeNumber(std::string_view text);

// Opens the news-alert service in a new window: its login page for the account of the form,
// else its home page.
void subOpenGlintwatch(AppState& app);

class ManagerOrigin;

// Lives from its first use to the end of the program; frmManage itself comes and goes.
class ResourceImport {
public:
    explicit ResourceImport(AppState& app);
    ~ResourceImport();
    ResourceImport(const ResourceImport&) = delete;
    ResourceImport& operator=(const ResourceImport&) = delete;

    // "<$import$>": stores the account and the time, then shows the manager page with the
    // time of the import before this one.
    void subStartImport();
    // "<$resourcesetup$>": the same for the account page, the time untouched.
    void subResourceSetup();
    // A navigation of the manager page that its agent reported.
    void managerCommand(const std::string& address);

    // The address webManage is shown for a path of the service (starts the origin).
    std::string managerAddress(std::string_view servicePath);

private:
    void showManager(const std::string& servicePath);
    void deleteItems(const ManagerCommand& command);
    void importItems(const ManagerCommand& command);
    void setTimes(const ManagerCommand& command);
    void importAnswered(std::int32_t logId, const platform::HttpResponse& answer);
    std::optional<std::vector<ManagerItem>> checkedItems(const ManagerCommand& command);
    void refuse(const std::string& why);

    AppState& m_app;
    std::unique_ptr<ManagerOrigin> m_origin;
    std::unique_ptr<platform::HttpClient> m_http;
};

} // namespace vellumite
