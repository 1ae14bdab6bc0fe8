// One chosen file uploaded into "images" or "media" below the site's FTP folder, for the
// insert-image and insert-link dialogs: connection, the folder looked for as the publish run
// does, the folder made when missing, the upload with its progress.
#pragma once

#include "net/ftp_client.h"
#include "platform/database.h"
#include "platform/event_loop.h"
#include "publish/remote_path_walk.h"
#include "publish/site_ftp.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

enum class UploadFolder { Images, Media };

// How an upload ended. `message` is for a message box (with `title`); empty when the status
// line says all there is to say.
struct UploadEnd {
    bool ok = false;
    std::string message;
    std::string title;
};

inline constexpr const char* kUploadFailedTitle = "Image upload failed";
inline constexpr const char* kUploadSettingsIncomplete =
    "Your ftp settings are not complete. Unable to upload image.";

// After the change into `folder`, the server must report the configured path followed by
// "/folder"; failing that the login folder followed by the configured path (when one is set)
// and "/folder". Slashes are not doubled where the pieces meet.
bool inUploadFolder(std::string_view current, std::string_view configured, std::string_view login,
                    std::string_view folder);

class UploadSession {
public:
    // The step of the session; the state word of each is what stateWord() returns.
    enum class State { Idle, Connecting, FindingPath, CreatingFolder, EnteringFolder, Uploading };

    UploadSession(platform::EventLoop& loop, UploadFolder folder);
    ~UploadSession();
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // Checks the computer is online and the site's FTP settings complete, then connects; the
    // rest arrives through the events. Returns why it could not begin, if it could not. A
    // session still under way is cancelled first.
    std::optional<UploadEnd> start(platform::Database& db, std::int32_t logId,
                                   const std::filesystem::path& appFolder, bool online,
                                   std::string localFile, std::string remoteName);
    // Stops what is under way; OnEnd does not follow.
    void cancel();
    // Ends the session politely after a successful upload.
    void quit();

    bool busy() const { return m_state != State::Idle; }
    State state() const { return m_state; }
    // "createfolderimages", "goimagespath" (media: "createfoldermedia", "gomediapath"), the
    // path recovery's words while the folder is looked for, "connecting" and "uploadfile".
    std::string stateWord() const;
    const std::string& remoteName() const { return m_remote; }
    CFtpClient& client() { return m_client; }

    // The status line ("FTP Status : ..."), the upload's percentage, the end. OnEnd is posted
    // to the loop, so its handler may end the session's owner.
    std::function<void(const std::string&)> OnStatus;
    std::function<void(int)> OnProgress;
    std::function<void(const UploadEnd&)> OnEnd;
    // The server's certificate was refused: asks whether to trust it (askToTrustCertificate);
    // true connects again. Without it the refusal is said.
    std::function<bool(SiteFtp& site, CFtpClient& client)> OnUntrustedCertificate;

private:
    void setState(State state);
    void status(const std::string& text);
    void end(UploadEnd how);
    void fail(std::string message, std::string title = "Vellumite");
    // Every way a connection can fail comes here: a question about the server's certificate
    // belongs here too.
    void connectFailed(AsyncResultStatus status, const CFtpError& error);
    void untrustedCertificate();
    void connect();
    void timedOut();

    void onConnect(AsyncResultStatus status);
    void onPathFound(RemotePathWalk::Outcome outcome);
    void createFolder();
    void onCreateDirectory(AsyncResultStatus status);
    void onSetCurrentDirectory(AsyncResultStatus status);
    void onGetCurrentDirectory(AsyncResultStatus status);
    void upload();
    void onUploadFile(AsyncResultStatus status);
    void onProgress(std::int64_t bytes);
    void guarded(const std::function<void()>& body);
    std::string folderName() const;

    platform::EventLoop& m_loop;
    UploadFolder m_folder;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    CFtpClient m_client;
    std::unique_ptr<RemotePathWalk> m_walk;
    SiteFtp m_site;
    std::string m_local;
    std::string m_remote;
    std::uint64_t m_size = 0;
    State m_state = State::Idle;
    bool m_awaitingPwd = false;
};

} // namespace vellumite
