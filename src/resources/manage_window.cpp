// The import window, the requests that fill it, and the manager page's three commands.
#include "resources/manage_window.h"

#include "core/panes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "resources/manager_origin.h"
#include "resources/news_items.h"
#include "store/readers.h"

#include <charconv>

namespace vellumite {

namespace {

constexpr std::string_view kImportForm = "importform";
constexpr std::string_view kManagerAgent = "manageragent.js";

std::string decoded(std::string_view text) {
    return platform::percentDecode(text).value_or(std::string());
}

} // namespace

ResourceAccount readResourceAccount(AppState& app) {
    platform::Document content = app.host.pane(pane::Content).document();
    const std::string form(kImportForm);
    return ResourceAccount{content.fieldValue(form, "importusername"),
                           content.fieldValue(form, "importpassword"),
                           content.fieldChecked(form, "detailremember")};
}

void storeResourceAccount(platform::Database& db, std::int32_t logId,
                          const ResourceAccount& account,
                          const std::optional<std::string>& importTime) {
    const std::string user = account.remember ? account.user : "";
    const std::string password = account.remember ? account.password : "";
    if (importTime)
        db.execute("UPDATE VellumiteLog SET Resourceusername=?, Resourcepassword=?, "
                   "rememberdetails=?, lastnewsimport=? WHERE LogID=?",
                   {user, password, account.remember, *importTime, logId});
    else
        db.execute("UPDATE VellumiteLog SET Resourceusername=?, Resourcepassword=?, "
                   "rememberdetails=? WHERE LogID=?",
                   {user, password, account.remember, logId});
}

std::optional<ManagerCommand> parseManagerCommand(std::string_view address) {
    const std::size_t question = address.find('?');
    const std::string_view path = address.substr(0, question);
    ManagerCommand out;
    for (std::string_view command : kManagerCommands)
        if (path.find(command) != std::string_view::npos) {
            out.command = command;
            break;
        }
    if (out.command.empty())
        return std::nullopt;
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : address.substr(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const std::size_t eq = pair.find('=');
        const std::string_view name = pair.substr(0, eq);
        const std::string value =
            eq == std::string_view::npos ? std::string() : decoded(pair.substr(eq + 1));
        if (name == "user")
            out.user = value;
        else if (name == "password")
            out.password = value;
        else if (name == "item")
            out.items.push_back(value);
        else if (name == "days")
            out.days = value;
        else if (name == "total")
            out.total = value;
        else if (name == "userid")
            out.userId = value;
    }
    return out;
}

std::optional<std::int32_t> wholeNumber(std::string_view text) {
    text = platform::trimmedBlanks(text);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

void subOpenGlintwatch(AppState& app) {
    const ResourceAccount account = readResourceAccount(app);
    app.host.openWindow(app.alertsAddress(glintwatchPath(account.user, account.password)),
                        "_blank");
}

ResourceImport::ResourceImport(AppState& app) : m_app(app) {}

ResourceImport::~ResourceImport() = default;

std::string ResourceImport::managerAddress(std::string_view servicePath) {
    if (!m_origin)
        m_origin = std::make_unique<ManagerOrigin>(
            m_app.loop, m_app.settings.serviceUrl, m_app.htmlFile(kManagerAgent),
            [this](const std::string& address) { managerCommand(address); });
    return m_origin->address(servicePath);
}

void ResourceImport::subStartImport() {
    const ResourceAccount account = readResourceAccount(m_app);
    auto site = m_app.db().openRecordset("SELECT lastnewsimport FROM VellumiteLog WHERE LogID=?",
                                         {m_app.logId});
    // The service is asked for what came since the import before this one.
    const std::string last = site.eof() ? "" : readText(site["lastnewsimport"]);
    storeResourceAccount(m_app.db(), m_app.logId, account, importTimestamp());
    showManager(manageResourcesPath(account.user, account.password,
                                    "&lastupdate=" + platform::percentEncode(last)));
}

void ResourceImport::subResourceSetup() {
    const ResourceAccount account = readResourceAccount(m_app);
    storeResourceAccount(m_app.db(), m_app.logId, account, std::nullopt);
    if (!account.remember) {
        platform::Document content = m_app.host.pane(pane::Content).document();
        content.setFieldValue(std::string(kImportForm), "importusername", "");
        content.setFieldValue(std::string(kImportForm), "importpassword", "");
    }
    showManager(manageResourcesPath(account.user, account.password, "&setup=true"));
}

void ResourceImport::showManager(const std::string& servicePath) {
    platform::Form& form = m_app.host.form(std::string(kManageForm));
    if (!form.has(kManageView)) {
        form.setCaption("Resources");
        form.add(std::string(kManageView), platform::ControlKind::Browser);
    }
    form.show();
    form.set(kManageView, "address", m_app.htmlFile(kImportWaitingPage).string());
    form.set(kManageView, "address", managerAddress(servicePath));
}

void ResourceImport::refuse(const std::string& why) {
    m_app.host.msgBox("The resource manager page sent a command that was not carried out: " + why,
                      "Vellumite");
}

std::optional<std::vector<ManagerItem>>
ResourceImport::checkedItems(const ManagerCommand& command) {
    std::vector<ManagerItem> items;
    for (const std::string& value : command.items) {
        auto item = managerItem(value);
        if (!item) {
            refuse("the item \"" + value + "\" is not a provider, item and feed.");
            return std::nullopt;
        }
        items.push_back(*item);
    }
    return items;
}

void ResourceImport::managerCommand(const std::string& address) {
    // Runs as a loop callback: nothing may escape it.
    try {
        const auto command = parseManagerCommand(address);
        if (!command || !m_app.host.findForm(std::string(kManageForm)))
            return; // not a command, or its window was closed meanwhile
        if (command->command == "<delete>")
            deleteItems(*command);
        else if (command->command == "<import>")
            importItems(*command);
        else
            setTimes(*command);
    } catch (const std::exception& e) {
        m_app.host.msgBox(e.what(), "Vellumite");
    }
}

void ResourceImport::deleteItems(const ManagerCommand& command) {
    if (!checkedItems(command))
        return;
    std::string list;
    for (const std::string& value : command.items)
        list += (list.empty() ? "" : ",") + value;
    platform::Form& form = m_app.host.form(std::string(kManageForm));
    form.set(
        kManageView, "address",
        managerAddress(manageResourcesPath(command.user, command.password,
                                           "&delete=" + platform::percentEncode(list, "-_.~,"))));
}

void ResourceImport::importItems(const ManagerCommand& command) {
    const auto items = checkedItems(command);
    if (!items)
        return;
    if (m_http && m_http->busy())
        return; // the import under way answers for this click too
    auto site = m_app.db().openRecordset("SELECT LogServerID FROM VellumiteLog WHERE LogID=?",
                                         {m_app.logId});
    const std::string userId = site.eof() ? "" : readText(site["LogServerID"]);
    const std::filesystem::path file = m_app.appFile("html/output") / kImportListFile;
    std::filesystem::create_directories(file.parent_path());
    platform::files::writeFileAtomic(file,
                                     importListXml(*items, userId, command.user, command.password));
    if (!m_http)
        m_http = std::make_unique<platform::HttpClient>(m_app.loop);
    m_http->postFile(m_app.serviceAddress(kExportListPath), std::string(kExportListField), file,
                     [this, logId = m_app.logId](const platform::HttpResponse& answer) {
                         try {
                             importAnswered(logId, answer);
                         } catch (const std::exception& e) {
                             m_app.host.msgBox(e.what(), "Vellumite");
                         }
                     });
}

void ResourceImport::importAnswered(std::int32_t logId, const platform::HttpResponse& answer) {
    if (!answer.ok()) {
        m_app.host.msgBox("The resources could not be imported: " +
                              (answer.completed ? "the web service answered with status " +
                                                      std::to_string(answer.status) + "."
                                                : answer.error + "."),
                          "Vellumite");
        return;
    }
    try {
        storeImportAnswer(m_app.db(), logId, answer.body);
    } catch (const ImportAnswerError& e) {
        m_app.host.msgBox(e.description(), "Vellumite");
        return;
    }
    subShowResources(m_app);
    m_app.host.unloadForm(std::string(kManageForm));
}

void ResourceImport::setTimes(const ManagerCommand& command) {
    const auto userId = wholeNumber(command.userId);
    const auto days = wholeNumber(command.days);
    const auto total = wholeNumber(command.total);
    if (!userId || !days || !total) {
        refuse("the user, days and number of posts must be whole numbers.");
        return;
    }
    if (!m_http)
        m_http = std::make_unique<platform::HttpClient>(m_app.loop);
    // The answer is not used.
    m_http->get(m_app.serviceAddress(setResourceTimePath(*userId, *days, *total)),
                [](const platform::HttpResponse&) {});
}

} // namespace vellumite
