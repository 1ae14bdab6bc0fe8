// The publish window: its controls show the run's state; it owns the run while it is loaded.
#include "publish/publish_window.h"

#include <memory>

namespace vellumite {

namespace {

using platform::ControlKind;

// Lives as long as the form: the form's handlers hold it, and unloading the form ends it and
// the run with it.
class PublishWindow : public std::enable_shared_from_this<PublishWindow> {
public:
    PublishWindow(AppState& app, PublishKind kind, PublishWindowLinks links)
        : m_app(app), m_showTemplates(std::move(links.showTemplates)) {
        PublishOptions options;
        options.kind = kind;
        options.settings = app.settings;
        options.appFolder = app.appFolder;
        m_run = std::make_unique<PublishRun>(app.loop, app.db(), app.logId, std::move(links.pages),
                                             std::move(options));
    }

    void open() {
        platform::Form& form = m_app.host.form(std::string(kPublishForm));
        build(form);
        auto self = shared_from_this();
        form.on("lblCancel", "click", [self] { self->lblCancel_Click(); });
        // The window's close button is a cancel too; kept running, the window comes back.
        form.on("", "close", [self] {
            if (!self->lblCancel_Click())
                if (platform::Form* f = self->form())
                    f->show(true);
        });
        m_run->OnChange = [this] { render(); };
        m_run->OnEnd = [this](const PublishEnd& end) { ended(end); };
        // Weak: the run holds its handlers and the window holds the run.
        m_run->OnUntrustedCertificate = [weak = weak_from_this()](SiteFtp& site,
                                                                  CFtpClient& client) {
            auto self = weak.lock(); // the question pumps the loop: the window stays meanwhile
            return self && askToTrustCertificate(self->m_app, site, client);
        };
        m_app.host.setPanesEnabled(false);
        form.show(true);
        m_run->start();
    }

private:
    static void build(platform::Form& form) {
        form.setCaption("Publishing");
        form.add("lblUploadMessage", ControlKind::Label,
                 {{"text", "Publishing your site. Drag this line to move the window."},
                  {"dragsWindow", true}});
        form.add("lblFTPState", ControlKind::Label, {{"role", "status"}});
        form.add("lblProgThisFile", ControlKind::Label);
        form.add("progThisFile", ControlKind::Progress, {{"value", 0}});
        form.add("lblTotalProgress", ControlKind::Label);
        form.add("progFile", ControlKind::Progress, {{"value", 0}});
        form.add("lblCancel", ControlKind::Link, {{"text", "Cancel"}});
    }

    platform::Form* form() { return m_app.host.findForm(std::string(kPublishForm)); }

    void render() {
        platform::Form* f = form();
        if (!f)
            return;
        const PublishView& view = m_run->view();
        f->setText("lblFTPState", view.status);
        f->setText("lblProgThisFile", view.fileText);
        f->setProgress("progThisFile", view.filePercent);
        f->setText("lblTotalProgress", view.totalText);
        f->setProgress("progFile", view.totalPercent);
    }

    // Returns whether the window closed.
    bool lblCancel_Click() {
        auto self = shared_from_this(); // the question pumps the loop; the run may end meanwhile
        if (m_app.host.msgBox(kCancelPublishQuestion, "Cancel?", platform::MsgButtons::YesNo) !=
            platform::MsgResult::Yes)
            return false;
        if (!form())
            return true; // the run ended and closed the window while the question was open
        m_run->cancel();
        close();
        return true;
    }

    void ended(const PublishEnd& end) {
        auto self = shared_from_this();
        render();
        switch (end.outcome) {
        case PublishOutcome::Succeeded:
            close();
            break;
        case PublishOutcome::Failed:
            if (end.keepWindowOpen)
                break; // the status line names the file; the user cancels
            m_app.host.msgBox(end.detail.empty() ? end.message : end.message + "\n\n" + end.detail,
                              end.title);
            close();
            if (end.showTemplates && m_showTemplates)
                m_showTemplates();
            break;
        case PublishOutcome::Cancelled:
        case PublishOutcome::Running:
            break;
        }
    }

    // The window goes; the run stays until the web service has answered, so that its
    // registration is not lost.
    void close() {
        m_app.host.setPanesEnabled(true);
        if (platform::Form* f = form())
            f->hide();
        if (m_run->exchangeBusy() && m_run->end().outcome != PublishOutcome::Cancelled) {
            m_run->OnExchangeDone = [this] { unload(); };
            return;
        }
        unload();
    }

    void unload() {
        // The form's handlers hold this window: after this call only the caller's copy does.
        auto self = shared_from_this();
        m_run->OnChange = nullptr;
        m_app.host.unloadForm(std::string(kPublishForm));
    }

    AppState& m_app;
    std::function<void()> m_showTemplates;
    std::unique_ptr<PublishRun> m_run;
};

} // namespace

void startPublishWindow(AppState& app, PublishKind kind, PublishWindowLinks links) {
    if (platform::Form* shown = app.host.findForm(std::string(kPublishForm))) {
        if (shown->visible())
            return; // one run at a time
        // A finished run still waiting for the web service's answer gives way.
        app.host.unloadForm(std::string(kPublishForm));
    }
    std::make_shared<PublishWindow>(app, kind, std::move(links))->open();
}

} // namespace vellumite
