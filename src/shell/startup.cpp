// The editor's start-up and shutdown steps.
#include "shell/startup.h"

#include "core/panes.h"
#include "platform/files.h"
#include "store/databases.h"

namespace vellumite {

Shell::Shell(AppState& app, CommandHandlers handlers)
    : m_app(app), m_dispatcher(app, std::move(handlers)), m_updateMsg(app.loop),
      m_recentList(app.loop) {
    m_app.host.onBeforeNavigate([this](const std::string& paneName, const std::string& address,
                                       const std::function<void(bool)>& decided) {
        return m_dispatcher.beforeNavigate(paneName, address, decided);
    });
    m_app.host.onDocumentComplete([this](const std::string& paneName, const std::string& address) {
        if (paneName == pane::Frontpage)
            frontPageLoaded(address);
    });
}

void Shell::step(const std::function<void()>& work) {
    try {
        work();
    } catch (const platform::DbError& e) {
        m_app.host.msgBox("An error occured while loading. (" + e.description() +
                              ").  Vellumite will try to continue.",
                          "Vellumite");
    } catch (const std::exception& e) {
        m_app.host.msgBox("An error occured while loading. (" + std::string(e.what()) +
                              ").  Vellumite will try to continue.",
                          "Vellumite");
    }
}

void Shell::start() {
    step([&] {
        if (!m_app.isOnline())
            return;
        fetchIntoFrontPage(m_updateMsg, "/versioninfonew.html", "versioninfonew.html", 2);
        fetchIntoFrontPage(m_recentList, "/recentlyupdatedClient.php", "recentlyUpdated.html", 3);
    });
    step([&] {
        m_app.database = openSiteDatabase(m_app.appFolder, [&](const std::string& report) {
            m_app.host.msgBox(report, "Vellumite");
        });
    });
    step([&] { m_app.postListPage = 1; });
    step([&] {
        m_app.host.pane(pane::TemplateDesigner).navigate(m_app.htmlFile("template-design.html"));
    });
    step([&] {
        for (const char* form : {"frmPublish", "frmImage", "frmSelectURL"})
            m_app.host.unloadForm(form);
    });
    step([&] { showFrontPage(m_app); });
}

void Shell::fetchIntoFrontPage(platform::HttpClient& client, std::string_view servicePath,
                               std::string_view file, int frame) {
    client.get(m_app.serviceAddress(servicePath),
               [this, file = std::string(file), frame](const platform::HttpResponse& response) {
                   // An error page is no notice: only a complete, successful answer is shown.
                   if (!response.ok())
                       return;
                   try {
                       std::filesystem::path target = m_app.htmlFile(file);
                       platform::files::writeFileAtomic(target, response.body);
                       auto front = m_app.host.pane(pane::Frontpage);
                       if (!front.waitUntilNotBusy())
                           return;
                       front.document().frame(frame).navigate(target);
                   } catch (const std::exception&) {
                       // A failed fetch leaves the frames as they are, without a message.
                   }
               });
}

void Shell::frontPageLoaded(const std::string& address) {
    if (address.find("frontpage.html") == std::string::npos)
        return;
    try {
        auto rs = m_app.db().openRecordset("SELECT * FROM VellumiteLog WHERE logTitle=?",
                                           {std::string(kSampleSiteTitle)});
        if (!rs.eof())
            rs.moveLast();
        auto front = m_app.host.pane(pane::Frontpage);
        if (!front.waitUntilNotBusy())
            return;
        if (rs.recordCount() == 1)
            front.document().frame(1).navigate(m_app.htmlFile("tooltips/welcome.html"));
    } catch (const std::exception&) {
        // Without a database there is no sample site to welcome to.
    }
}

void Shell::shutdown() {
    if (m_app.database) {
        m_app.database->close();
        m_app.database.reset();
    }
    for (const char* form :
         {"frmPublish", "frmImage", "frmImport", "frmPassword", "frmSelectURL", "frmManage"})
        m_app.host.unloadForm(form);
    m_app.host.unloadAllForms();
}

} // namespace vellumite
