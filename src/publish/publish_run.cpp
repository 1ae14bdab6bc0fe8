// The publish run's steps: checks, generation, registration, connection, path, uploads, quit.
#include "publish/publish_run.h"

#include "core/panes.h"
#include "net/ftp_address.h"
#include "platform/error.h"
#include "platform/sha256.h"
#include "publish/upload_refusal.h"
#include "publish/web_service.h"
#include "store/readers.h"
#include "store/site_rows.h"

#include <algorithm>
#include <exception>

namespace vellumite {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUploadState = "uploadfile";

std::string bytesOf(std::uint64_t done, std::uint64_t of) {
    return std::to_string(done) + " bytes of " + std::to_string(of) + " bytes.";
}

PublishEnd failure(std::string message, std::string title = "Vellumite") {
    PublishEnd end;
    end.outcome = PublishOutcome::Failed;
    end.message = std::move(message);
    end.title = std::move(title);
    return end;
}

} // namespace

PublishRun::PublishRun(platform::EventLoop& loop, platform::Database db, std::int32_t logId,
                       SitePagesFactory pages, PublishOptions options)
    : m_loop(loop), m_db(std::move(db)), m_logId(logId), m_makePages(std::move(pages)),
      m_options(std::move(options)), m_client(loop) {
    m_client.OnConnect = [this](AsyncResultStatus s) { guarded([&] { onConnect(s); }); };
    m_client.OnSetCurrentDirectory = [this](AsyncResultStatus s) {
        guarded([&] {
            if (m_walk)
                m_walk->onSetCurrentDirectory(s);
        });
    };
    m_client.OnGetCurrentDirectory = [this](AsyncResultStatus s) {
        guarded([&] {
            if (m_walk)
                m_walk->onGetCurrentDirectory(s);
        });
    };
    m_client.OnUploadFile = [this](AsyncResultStatus s) { guarded([&] { onUploadFile(s); }); };
    m_client.OnDataTransferProgress = [this](std::int64_t bytes) { onProgress(bytes); };
    m_client.OnQuitSession = [this](AsyncResultStatus s) { guarded([&] { onQuitSession(s); }); };
}

PublishRun::~PublishRun() = default;

std::string PublishRun::stateWord() const {
    if (m_walk && m_walk->walking())
        return RemotePathWalk::stateWord(m_walk->step());
    return m_sending && !finished() ? kUploadState : "";
}

// ---- checks and generation ------------------------------------------------------------------

void PublishRun::start() {
    if (m_started)
        return;
    m_started = true;
    guarded([&] { checkAndBegin(); });
}

void PublishRun::checkAndBegin() {
    if (!m_options.dryRun && !m_options.settings.isOnline())
        return finish(failure(std::string(kOfflinePrompt), std::string(kOfflineTitle)));
    m_site = readSiteFtp(m_db, m_logId, m_options.appFolder);
    m_site.caFile = m_options.caFile;
    m_site.trustedFingerprints.insert(m_site.trustedFingerprints.end(),
                                      m_options.trustedFingerprints.begin(),
                                      m_options.trustedFingerprints.end());
    if (needsServer() && !m_site.complete())
        return finish(failure(kFtpSettingsIncomplete));
    if (readInt(openSiteRow(m_db, m_logId, "UseDesignerTemplate")["UseDesignerTemplate"]) == 0) {
        PublishEnd end = failure(kNoTemplateMessage, std::string(kNoTemplateTitle));
        end.showTemplates = true;
        return finish(end);
    }
    if (needsServer()) {
        // The server setting is read before anything is generated: a mistyped port is said now.
        if (auto unusable = configureClient(m_client, m_site, m_options.timeoutSeconds))
            return finish(failure(std::move(*unusable)));
    }
    setStatus("Generating files");
    schedule([this] { generateFirst(); });
}

void PublishRun::schedule(std::function<void()> step) {
    // One step per pass of the loop: the window, the cancel link and the registration's answer
    // are served between pages.
    m_loop.post([alive = std::weak_ptr<int>(m_lifetime), this, step = std::move(step)] {
        if (alive.expired() || finished())
            return;
        guarded(step);
    });
}

void PublishRun::generateFirst() {
    m_pages = m_makePages();
    m_output = m_pages->outputFolder();
    if (m_options.kind == PublishKind::Archive) {
        setStatus("Generating content pages");
        m_generated = m_pages->archivePages();
        schedule([this] { listFiles(); });
        return;
    }
    m_itemPages = std::max<std::int32_t>(1, m_pages->itemPageCount());
    m_generated.push_back(m_pages->mainPage(m_itemPages));
    if (!m_options.dryRun)
        registerUpload();
    setStatus("Generating content pages");
    schedule([this] { generateItem(1); });
}

void PublishRun::generateItem(std::int32_t n) {
    m_generated.push_back(m_pages->itemPage(n, m_itemPages));
    if (n < m_itemPages) {
        schedule([this, n] { generateItem(n + 1); });
        return;
    }
    setStatus("Generating category pages");
    schedule([this] { generateCategories(); });
}

void PublishRun::generateCategories() {
    for (std::string& name : m_pages->categoryPages())
        m_generated.push_back(std::move(name));
    schedule([this] { listFiles(); });
}

void PublishRun::listFiles() {
    std::optional<UploadManifest> manifest;
    // A plain dry run has no server: it neither reads nor writes the manifest.
    if (needsServer()) {
        const std::string server =
            m_client.FtpServer() + ":" + std::to_string(m_client.RemotePort());
        manifest.emplace(
            UploadManifest::fileFor(m_options.appFolder, m_logId, server, m_site.user, m_site.path),
            "site " + std::to_string(m_logId) + ", server " + server + ", user " + m_site.user +
                ", folder " + m_site.path);
    }
    for (const std::string& name : m_generated) {
        UploadItem item;
        item.name = name;
        item.size = fs::file_size(m_output / name);
        item.sha256 = platform::sha256HexOfFile(m_output / name);
        if (m_options.changedOnly && manifest &&
            manifest->unchanged(name, {item.size, item.sha256})) {
            ++m_unchanged;
            continue;
        }
        m_totalBytes += item.size;
        m_files.push_back(std::move(item));
    }
    updateTotal();
    if (m_options.dryRun || m_files.empty())
        return succeed();
    m_manifest = std::move(manifest);
    if (m_manifest) {
        std::vector<std::string> names;
        for (const UploadItem& item : m_files)
            names.push_back(item.name);
        m_manifest->forget(names);
    }
    connect();
}

// ---- the web service -------------------------------------------------------------------------

void PublishRun::registerUpload() {
    auto site =
        openSiteRow(m_db, m_logId, "pageurl, LogServerID, advertiseHighlights, displayTitle");
    const std::int32_t serverId = registeredServerId(site["LogServerID"]);
    const std::string path = registrationPath(readText(site["pageurl"]), serverId,
                                              siteNameForService(readText(site["displayTitle"])));
    m_http = std::make_unique<platform::HttpClient>(m_loop);
    ++m_exchangePending;
    m_http->get(m_options.settings.serviceAddress(path),
                [this](const platform::HttpResponse& response) {
                    // A failed request, an error page or "Publish recorded" changes nothing.
                    if (response.ok())
                        if (auto id = serverIdFromAnswer(response.body)) {
                            try {
                                storeServerId(m_db, m_logId, *id);
                            } catch (const std::exception&) {
                                // The site is published; the next run registers it again.
                            }
                        }
                    exchangeAnswered();
                });
    if (serverId != 0 && site["advertiseHighlights"].toBool()) {
        const fs::path file = writeHighlightsXml(m_db, m_logId, m_output);
        ++m_exchangePending;
        m_http->postFile(m_options.settings.serviceAddress(kHighlightsPostPath),
                         std::string(kHighlightsField), file,
                         [this](const platform::HttpResponse&) { exchangeAnswered(); });
    }
}

void PublishRun::exchangeAnswered() {
    if (--m_exchangePending > 0)
        return;
    m_loop.post([alive = std::weak_ptr<int>(m_lifetime), this] {
        if (alive.expired() || !OnExchangeDone)
            return;
        auto handler = OnExchangeDone; // the handler may destroy the run
        handler();
    });
}

// ---- the session -----------------------------------------------------------------------------

void PublishRun::connect() {
    m_walk = std::make_unique<RemotePathWalk>(m_client, m_site.path);
    m_walk->OnDone = [this](RemotePathWalk::Outcome outcome) { onPathWalkDone(outcome); };
    setStatus("FTP Status : Connecting");
    try {
        m_client.Connect();
    } catch (const platform::NumberedError& e) {
        PublishEnd end = failure(kConnectErrorMessage);
        end.detail = platform::to_string(e);
        setStatus("FTP Status : Error connecting, please check your settings.");
        finish(end);
    }
}

void PublishRun::onConnect(AsyncResultStatus status) {
    if (finished() || status == arStatusCancel)
        return;
    if (status == arStatusError)
        return connectFailed();
    if (status == arStatusTimeOut)
        return timedOut();
    m_walk->begin();
}

void PublishRun::connectFailed() {
    if (failedOnUntrustedCertificate(m_client))
        return untrustedCertificate();
    const CFtpError& error = m_client.LastFtpError();
    const bool noTls = error.Number == CFtpClient::kNoTlsError;
    PublishEnd end = failure(noTls ? kNoTlsMessage : kConnectErrorMessage);
    end.detail = platform::to_string(platform::NumberedError(error.Number, error.Description, ""));
    setStatus(noTls ? "FTP Status : The server does not offer TLS."
                    : "FTP Status : Error connecting, please check your settings.");
    finish(end);
}

void PublishRun::untrustedCertificate() {
    setStatus("FTP Status : The server's certificate is not trusted.");
    const auto refuse = [this] {
        PublishEnd end = failure(untrustedCertificateMessage(m_site, m_client.ServerCertificate()));
        end.untrustedFingerprint = m_client.ServerCertificate().fingerprint;
        finish(end);
    };
    if (!OnUntrustedCertificate)
        return refuse();
    // The question waits for the user; it is not asked inside the client's event.
    schedule([this, refuse] {
        const std::weak_ptr<int> alive = m_lifetime;
        auto ask = OnUntrustedCertificate; // a copy: its owner may go with the run meanwhile
        const bool trusted = ask(m_site, m_client);
        if (alive.expired() || finished())
            return; // cancelled, or gone with its window, while the question was open
        if (!trusted)
            return refuse();
        connect();
    });
}

void PublishRun::onPathWalkDone(RemotePathWalk::Outcome outcome) {
    switch (outcome) {
    case RemotePathWalk::Outcome::Arrived:
        m_sending = true;
        sendNextFile();
        break;
    case RemotePathWalk::Outcome::Lost: {
        PublishEnd end = failure(kPathNotFoundMessage);
        end.detail = "The server reported the folder \"" + m_client.CurrentDirectory() +
                     "\" for \"" + m_site.path + "\".";
        finish(end);
        break;
    }
    case RemotePathWalk::Outcome::TimedOut:
        timedOut();
        break;
    case RemotePathWalk::Outcome::Cancelled:
        break;
    }
}

void PublishRun::timedOut() {
    setStatus("FTP Status : Timed out.");
    finish(failure(kConnectTimeOutMessage));
    m_client.CancelAsyncMethod(); // the run has ended: the cancel's completion is not acted on
}

void PublishRun::sendNextFile() {
    if (m_next == m_files.size())
        return quit();
    const UploadItem& item = m_files[m_next];
    const std::string number = std::to_string(m_next + 1);
    setStatus("FTP Status : Uploading file " + number + " of " + std::to_string(m_files.size()));
    m_currentBytes = 0;
    m_view.filePercent = 0;
    m_view.fileText = "Progress for File " + number + " : " + bytesOf(0, item.size);
    ++m_next;
    changed();
    try {
        m_client.UploadFile((m_output / item.name).string(), item.name, 0);
    } catch (const platform::NumberedError& e) {
        failUpload(platform::to_string(e));
    }
}

void PublishRun::onUploadFile(AsyncResultStatus status) {
    if (finished() || m_next == 0 || status == arStatusCancel)
        return;
    const UploadItem& item = m_files[m_next - 1];
    if (status != arStatusOk) {
        failUpload(uploadRefusal(m_client, status));
        if (status == arStatusTimeOut)
            m_client.CancelAsyncMethod();
        return;
    }
    m_completedBytes += item.size;
    ++m_uploaded;
    m_currentBytes = static_cast<std::int64_t>(item.size);
    m_view.filePercent = 100;
    m_view.fileText =
        "Progress for File " + std::to_string(m_next) + " : " + bytesOf(item.size, item.size);
    updateTotal();
    if (m_manifest)
        m_manifest->record(item.name, {item.size, item.sha256});
    if (OnFileUploaded)
        OnFileUploaded(item);
    sendNextFile();
}

void PublishRun::onProgress(std::int64_t bytes) {
    // Listing the folder reports the listing's length, not the file's.
    if (finished() || !m_sending || m_next == 0 || m_client.FtpSessionState() == FtpState::Listing)
        return;
    const UploadItem& item = m_files[m_next - 1];
    m_currentBytes = bytes;
    m_view.filePercent = item.size == 0
                             ? 100
                             : static_cast<int>(std::min<std::uint64_t>(
                                   100, static_cast<std::uint64_t>(bytes) * 100 / item.size));
    m_view.fileText = "Progress for File " + std::to_string(m_next) + " : " +
                      bytesOf(static_cast<std::uint64_t>(bytes), item.size);
    changed();
}

void PublishRun::quit() {
    setStatus("FTP Status : Closing the session");
    try {
        m_client.QuitSession();
    } catch (const platform::NumberedError& e) {
        PublishEnd end = failure("All " + std::to_string(m_files.size()) +
                                 " files were uploaded, but the session could not be closed.");
        end.detail = platform::to_string(e);
        finish(end);
    }
}

void PublishRun::onQuitSession(AsyncResultStatus status) {
    if (finished() || status == arStatusCancel)
        return;
    if (status == arStatusOk)
        return succeed();
    PublishEnd end = failure("All " + std::to_string(m_files.size()) +
                             " files were uploaded, but the server did not close the session "
                             "cleanly.");
    end.detail = lastReplyLine(m_client.LastServerResponse());
    finish(end);
    if (status == arStatusTimeOut)
        m_client.CancelAsyncMethod();
}

// ---- ends ------------------------------------------------------------------------------------

void PublishRun::cancel() {
    if (finished())
        return;
    m_end.outcome = PublishOutcome::Cancelled;
    // The completion the cancel raises finds the run finished and does nothing.
    if (m_client.Busy())
        m_client.CancelAsyncMethod();
    postEnd();
}

void PublishRun::succeed() {
    PublishEnd end;
    end.outcome = PublishOutcome::Succeeded;
    finish(std::move(end));
}

void PublishRun::finish(PublishEnd end) {
    if (finished())
        return;
    m_end = std::move(end);
    changed();
    postEnd();
}

void PublishRun::postEnd() {
    m_loop.post([alive = std::weak_ptr<int>(m_lifetime), this] {
        if (alive.expired() || !OnEnd)
            return;
        // Copies: the handler may destroy the run.
        auto handler = OnEnd;
        const PublishEnd end = m_end;
        handler(end);
    });
}

void PublishRun::failUpload(const std::string& why) {
    const std::string& name = m_files[m_next - 1].name;
    PublishEnd end = failure(name + " was not uploaded: " + why + ".");
    end.keepWindowOpen = true;
    setStatus("FTP Status : " + end.message);
    finish(end);
}

void PublishRun::guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const platform::MessageError& e) {
        finish(failure(e.description()));
    } catch (const platform::NumberedError& e) {
        finish(failure(platform::to_string(e)));
    } catch (const std::exception& e) {
        finish(failure(e.what()));
    }
}

// ---- the view --------------------------------------------------------------------------------

void PublishRun::setStatus(std::string status) {
    m_view.status = std::move(status);
    changed();
}

void PublishRun::updateTotal() {
    // A site of empty files has 0 bytes to send: nothing to divide by, and nothing wrong.
    m_view.totalPercent =
        m_totalBytes == 0
            ? (m_uploaded == m_files.size() && m_sending ? 100 : 0)
            : static_cast<int>(std::min<std::uint64_t>(100, m_completedBytes * 100 / m_totalBytes));
    m_view.totalText = "Total Progress : " + bytesOf(m_completedBytes, m_totalBytes);
    changed();
}

void PublishRun::changed() {
    if (OnChange)
        OnChange();
}

} // namespace vellumite
