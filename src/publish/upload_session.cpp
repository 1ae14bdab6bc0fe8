// The upload dialogs' FTP session, step by step on the client's events.
#include "publish/upload_session.h"

#include "core/panes.h"
#include "platform/error.h"
#include "publish/upload_refusal.h"

#include <algorithm>
#include <exception>
#include <filesystem>

namespace vellumite {

namespace {

// `path` and then `folder`, with one "/" between them.
std::string joined(std::string_view path, std::string_view folder) {
    while (path.ends_with('/'))
        path.remove_suffix(1);
    while (folder.starts_with('/'))
        folder.remove_prefix(1);
    return std::string(path) + "/" + std::string(folder);
}

std::string uploadingText(std::uint64_t done, std::uint64_t of) {
    return "FTP Status : Uploading " + std::to_string(done) + " of " + std::to_string(of) +
           " bytes";
}

} // namespace

bool inUploadFolder(std::string_view current, std::string_view configured, std::string_view login,
                    std::string_view folder) {
    if (current == joined(configured, folder))
        return true;
    const std::string below = configured.empty() ? std::string(login) : joined(login, configured);
    return current == joined(below, folder);
}

UploadSession::UploadSession(platform::EventLoop& loop, UploadFolder folder)
    : m_loop(loop), m_folder(folder), m_client(loop) {
    m_client.OnConnect = [this](AsyncResultStatus s) { guarded([&] { onConnect(s); }); };
    m_client.OnCreateDirectory = [this](AsyncResultStatus s) {
        guarded([&] { onCreateDirectory(s); });
    };
    m_client.OnSetCurrentDirectory = [this](AsyncResultStatus s) {
        guarded([&] { onSetCurrentDirectory(s); });
    };
    m_client.OnGetCurrentDirectory = [this](AsyncResultStatus s) {
        guarded([&] { onGetCurrentDirectory(s); });
    };
    m_client.OnUploadFile = [this](AsyncResultStatus s) { guarded([&] { onUploadFile(s); }); };
    m_client.OnDataTransferProgress = [this](std::int64_t bytes) { onProgress(bytes); };
}

UploadSession::~UploadSession() = default;

std::string UploadSession::folderName() const {
    return m_folder == UploadFolder::Images ? "images" : "media";
}

std::string UploadSession::stateWord() const {
    switch (m_state) {
    case State::Connecting:
        return "connecting";
    case State::FindingPath:
        return m_walk ? RemotePathWalk::stateWord(m_walk->step()) : "";
    case State::CreatingFolder:
        return "createfolder" + folderName();
    case State::EnteringFolder:
        return "go" + folderName() + "path";
    case State::Uploading:
        return "uploadfile";
    case State::Idle:
        break;
    }
    return "";
}

std::optional<UploadEnd> UploadSession::start(platform::Database& db, std::int32_t logId,
                                              const std::filesystem::path& appFolder, bool online,
                                              std::string localFile, std::string remoteName) {
    cancel();
    if (!online)
        return UploadEnd{false, std::string(kOfflinePrompt), kUploadFailedTitle};
    m_site = readSiteFtp(db, logId, appFolder);
    if (!m_site.complete())
        return UploadEnd{false, kUploadSettingsIncomplete, kUploadFailedTitle};
    if (auto unusable = configureClient(m_client, m_site, 60))
        return UploadEnd{false, std::move(*unusable), kUploadFailedTitle};
    m_local = std::move(localFile);
    m_remote = std::move(remoteName);
    std::error_code error;
    m_size = std::filesystem::file_size(m_local, error);
    connect();
    return std::nullopt;
}

void UploadSession::connect() {
    // The dialogs look no further when the login folder is the path already, and take the
    // root when it turns out to be the path.
    m_walk =
        std::make_unique<RemotePathWalk>(m_client, m_site.path, RemotePathWalk::Rules{true, true});
    m_walk->OnDone = [this](RemotePathWalk::Outcome outcome) { onPathFound(outcome); };
    setState(State::Connecting);
    status("FTP Status : Connecting...");
    try {
        m_client.Connect();
    } catch (const platform::NumberedError& e) {
        connectFailed(arStatusError, CFtpError{e.number(), e.description(), e.source()});
    }
}

void UploadSession::cancel() {
    const bool wasBusy = busy();
    setState(State::Idle); // the completion the cancel raises finds nothing to do
    if (m_client.Busy())
        m_client.CancelAsyncMethod();
    if (wasBusy && m_folder == UploadFolder::Images)
        status("FTP Status : Canceled.");
}

void UploadSession::quit() {
    try {
        if (!m_client.Busy() && m_client.FtpSessionState() == FtpState::Ready)
            m_client.QuitSession();
    } catch (const platform::NumberedError&) {
        // The file is there; a session that cannot be closed politely is closed with the client.
    }
}

void UploadSession::setState(State state) {
    m_state = state;
    m_awaitingPwd = false;
}

void UploadSession::status(const std::string& text) {
    if (OnStatus)
        OnStatus(text);
}

void UploadSession::end(UploadEnd how) {
    setState(State::Idle);
    m_loop.post([alive = std::weak_ptr<int>(m_lifetime), this, how = std::move(how)] {
        if (alive.expired() || !OnEnd)
            return;
        auto handler = OnEnd; // the handler may end the session
        handler(how);
    });
}

void UploadSession::fail(std::string message, std::string title) {
    end(UploadEnd{false, std::move(message), std::move(title)});
}

void UploadSession::connectFailed(AsyncResultStatus status, const CFtpError& error) {
    if (status == arStatusTimeOut)
        return timedOut();
    if (failedOnUntrustedCertificate(m_client))
        return untrustedCertificate();
    if (error.Number == CFtpClient::kNoTlsError) {
        this->status("FTP Status : The server does not offer TLS.");
        return fail(kNoTlsMessage, kUploadFailedTitle);
    }
    this->status(m_folder == UploadFolder::Images
                     ? "FTP Status : Error connecting, please check settings or contact your "
                       "service provider."
                     : "FTP Status : Error connecting, please check your settings.");
    end({});
}

void UploadSession::untrustedCertificate() {
    status("FTP Status : The server's certificate is not trusted.");
    // The question waits for the user; it is not asked inside the client's event.
    m_loop.post([alive = std::weak_ptr<int>(m_lifetime), this] {
        if (alive.expired() || m_state != State::Connecting)
            return;
        const auto refuse = [this] {
            fail(untrustedCertificateMessage(m_site, m_client.ServerCertificate()),
                 kUntrustedCertificateTitle);
        };
        if (!OnUntrustedCertificate)
            return refuse();
        auto ask = OnUntrustedCertificate; // a copy: its owner may go while the question is open
        const bool trusted = ask(m_site, m_client);
        if (alive.expired() || m_state != State::Connecting)
            return; // cancelled, or gone with its window, meanwhile
        trusted ? connect() : refuse();
    });
}

void UploadSession::timedOut() {
    status("FTP Status : Timed out.");
    end({});
    m_client.CancelAsyncMethod(); // the session has ended: the cancel's completion finds Idle
}

void UploadSession::onConnect(AsyncResultStatus s) {
    if (m_state != State::Connecting || s == arStatusCancel)
        return;
    if (s != arStatusOk)
        return connectFailed(s, m_client.LastFtpError());
    status("FTP Status : Connected.");
    setState(State::FindingPath);
    m_walk->begin();
}

void UploadSession::onPathFound(RemotePathWalk::Outcome outcome) {
    if (m_state != State::FindingPath)
        return;
    switch (outcome) {
    case RemotePathWalk::Outcome::Arrived:
        createFolder();
        break;
    case RemotePathWalk::Outcome::Lost:
        fail(kPathNotFoundMessage);
        break;
    case RemotePathWalk::Outcome::TimedOut:
        timedOut();
        break;
    case RemotePathWalk::Outcome::Cancelled:
        break;
    }
}

void UploadSession::createFolder() {
    setState(State::CreatingFolder);
    m_client.CreateDirectory(folderName());
}

void UploadSession::onCreateDirectory(AsyncResultStatus s) {
    if (m_state != State::CreatingFolder || s == arStatusCancel)
        return;
    if (s == arStatusTimeOut)
        return timedOut();
    // Refused or not: the folder usually exists already, and the change into it decides.
    setState(State::EnteringFolder);
    m_client.SetCurrentDirectory(folderName());
}

void UploadSession::onSetCurrentDirectory(AsyncResultStatus s) {
    if (m_state == State::FindingPath) {
        m_walk->onSetCurrentDirectory(s);
        return;
    }
    if (m_state != State::EnteringFolder || m_awaitingPwd || s == arStatusCancel)
        return;
    if (s == arStatusTimeOut)
        return timedOut();
    m_awaitingPwd = true;
    m_client.GetCurrentDirectory();
}

void UploadSession::onGetCurrentDirectory(AsyncResultStatus s) {
    if (m_state == State::FindingPath) {
        m_walk->onGetCurrentDirectory(s);
        return;
    }
    if (m_state != State::EnteringFolder || !m_awaitingPwd || s == arStatusCancel)
        return;
    if (s == arStatusTimeOut)
        return timedOut();
    if (inUploadFolder(m_client.CurrentDirectory(), m_site.path, m_walk->loginDirectory(),
                       folderName()))
        return upload();
    status("FTP Status : Can't resolve path");
    fail(m_folder == UploadFolder::Media && m_site.path.empty()
             ? "Vellumite couldn't upload the file, probably due to an error in your path "
               "setting."
             : "Vellumite couldn't upload the image, probably due to an error in your path "
               "setting.");
}

void UploadSession::upload() {
    setState(State::Uploading);
    status(uploadingText(0, m_size));
    if (OnProgress)
        OnProgress(0);
    m_client.UploadFile(m_local, m_remote, 0);
}

void UploadSession::onUploadFile(AsyncResultStatus s) {
    if (m_state != State::Uploading || s == arStatusCancel)
        return;
    if (s == arStatusOk) {
        if (OnProgress)
            OnProgress(100);
        end(UploadEnd{true, "", ""});
        return;
    }
    status("FTP Status : " + m_remote + " was not uploaded: " + uploadRefusal(m_client, s) + ".");
    end({});
    if (s == arStatusTimeOut)
        m_client.CancelAsyncMethod();
}

void UploadSession::onProgress(std::int64_t bytes) {
    if (m_state != State::Uploading)
        return;
    if (m_client.FtpSessionState() == FtpState::Listing) {
        status("Retrieving directory listing");
        return;
    }
    const auto sent = static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0));
    status(uploadingText(sent, m_size));
    if (OnProgress)
        OnProgress(m_size == 0
                       ? 100
                       : static_cast<int>(std::min<std::uint64_t>(100, sent * 100 / m_size)));
}

void UploadSession::guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const platform::NumberedError& e) {
        fail(platform::to_string(e));
    } catch (const std::exception& e) {
        fail(e.what());
    }
}

} // namespace vellumite
