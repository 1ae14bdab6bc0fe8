// A publish run: the site generated into the output folder, registered with the web service,
// and its files uploaded one at a time. The editor's window and `vellumite publish` both drive
// one; the window only shows its state.
#pragma once

#include "core/app_state.h"
#include "net/ftp_client.h"
#include "platform/database.h"
#include "platform/event_loop.h"
#include "platform/http_client.h"
#include "publish/remote_path_walk.h"
#include "publish/site_ftp.h"
#include "publish/upload_manifest.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellumite {

enum class PublishKind {
    Posts,   // main, item and category pages, and the registration
    Archive, // the archive index and the month pages
};

// The site generator as a run sees it; the app hands one in, as a feature never includes
// another. Each call writes pages into the output folder and returns their names; errors are
// thrown (platform::MessageError with the text for the user, or any std::exception).
class SitePages {
public:
    virtual ~SitePages() = default;
    virtual std::filesystem::path outputFolder() const = 0;
    // N, the number of item pages.
    virtual std::int32_t itemPageCount() = 0;
    // index.html, as page 1 of `itemPages` with image paths rewritten.
    virtual std::string mainPage(std::int32_t itemPages) = 0;
    // item<n>.html.
    virtual std::string itemPage(std::int32_t n, std::int32_t itemPages) = 0;
    virtual std::vector<std::string> categoryPages() = 0;
    // archindex.html first, then the month pages.
    virtual std::vector<std::string> archivePages() = 0;
};
// Made when generation starts, after the run's checks.
using SitePagesFactory = std::function<std::unique_ptr<SitePages>()>;

struct PublishOptions {
    PublishKind kind = PublishKind::Posts;
    Settings settings;               // the online check and the web service's address
    std::filesystem::path appFolder; // where the upload manifests are kept
    bool changedOnly = false;        // send only files that differ from the last upload
    bool dryRun = false;             // generate and list the files; no connection, no request
    std::int16_t timeoutSeconds = 60;
    // Over TLS, trusted besides the system's authorities and the certificate the user trusted
    // for the site: authorities in a PEM file, and certificates by their fingerprints.
    std::string caFile;
    std::vector<std::string> trustedFingerprints;
};

// One file of the upload list.
struct UploadItem {
    std::string name; // in the output folder and on the server
    std::uint64_t size = 0;
    std::string sha256;
};

// What the publish window shows: the status line, and each bar with its label.
struct PublishView {
    std::string status;
    int filePercent = 0;
    std::string fileText;
    int totalPercent = 0;
    std::string totalText;
};

enum class PublishOutcome { Running, Succeeded, Failed, Cancelled };

struct PublishEnd {
    PublishOutcome outcome = PublishOutcome::Running;
    std::string message; // the text for the user; empty on success and cancel
    std::string title;   // the message box's title
    std::string detail;  // what the server or the system said, when there is more to say
    // A refused upload: the status line names the file and the reply, the window stays open
    // for the user to cancel.
    bool keepWindowOpen = false;
    bool showTemplates = false; // no template: the template screen comes next
    // Refused on the server's certificate: its SHA-256 fingerprint.
    std::string untrustedFingerprint;
};

// Messages of the run (the offline one is the shell's).
inline constexpr const char* kConnectErrorMessage =
    "Error connecting.  Please check your settings or contact your service provider.";
inline constexpr const char* kConnectTimeOutMessage =
    "Timed out.  Your FTP address may be incorrect.  Please check your settings.";

class PublishRun {
public:
    PublishRun(platform::EventLoop& loop, platform::Database db, std::int32_t logId,
               SitePagesFactory pages, PublishOptions options);
    ~PublishRun();
    PublishRun(const PublishRun&) = delete;
    PublishRun& operator=(const PublishRun&) = delete;

    // Checks the computer is online, the FTP settings complete and a template set, then
    // generates, step by step on the loop, and uploads. Returns at once; the end arrives
    // through OnEnd.
    void start();
    // Stops the run: an operation under way is cancelled. Nothing happens after it but
    // OnEnd(Cancelled).
    void cancel();

    const PublishView& view() const { return m_view; }
    // The files to send, in order (after a changed-only run left out the unchanged ones).
    const std::vector<UploadItem>& files() const { return m_files; }
    std::size_t unchangedCount() const { return m_unchanged; }
    std::size_t uploadedCount() const { return m_uploaded; }
    std::uint64_t totalBytes() const { return m_totalBytes; }
    std::uint64_t completedBytes() const { return m_completedBytes; }
    // The file being sent (1-based; 0 before the first), and its bytes sent so far.
    std::size_t currentNumber() const { return m_next; }
    std::int64_t currentBytes() const { return m_currentBytes; }
    // "goftppath" ... while the folder is looked for, "uploadfile" while sending, else "".
    std::string stateWord() const;
    bool finished() const { return m_end.outcome != PublishOutcome::Running; }
    const PublishEnd& end() const { return m_end; }
    // The registration or the highlights post has not been answered yet.
    bool exchangeBusy() const { return m_exchangePending > 0; }
    CFtpClient& client() { return m_client; }

    // Events. OnChange: the view changed. OnFileUploaded: the server confirmed a file.
    // OnEnd and OnExchangeDone are posted to the loop, so their handlers may destroy the run.
    std::function<void()> OnChange;
    std::function<void(const UploadItem&)> OnFileUploaded;
    std::function<void(const PublishEnd&)> OnEnd;
    std::function<void()> OnExchangeDone;
    // The server's certificate was refused: asks whether to trust it (askToTrustCertificate),
    // on a pass of the loop of its own. True connects again; without it the run ends.
    std::function<bool(SiteFtp& site, CFtpClient& client)> OnUntrustedCertificate;

private:
    void checkAndBegin();
    // A run that uploads, or compares with what the server was last sent, needs the server.
    bool needsServer() const { return !m_options.dryRun || m_options.changedOnly; }
    void schedule(std::function<void()> step);
    void generateFirst();
    void generateItem(std::int32_t n);
    void generateCategories();
    void listFiles();
    void connect();
    void registerUpload();
    void exchangeAnswered();

    void onConnect(AsyncResultStatus status);
    void connectFailed();
    void untrustedCertificate();
    void onPathWalkDone(RemotePathWalk::Outcome outcome);
    void timedOut();
    void sendNextFile();
    void onUploadFile(AsyncResultStatus status);
    void onProgress(std::int64_t bytes);
    void quit();
    void onQuitSession(AsyncResultStatus status);

    void setStatus(std::string status);
    void updateTotal();
    void changed();
    void succeed();
    void finish(PublishEnd end);
    void postEnd();
    void failUpload(const std::string& why);
    // Runs a handler's body: what it throws ends the run with its text.
    void guarded(const std::function<void()>& body);

    platform::EventLoop& m_loop;
    platform::Database m_db;
    std::int32_t m_logId;
    SitePagesFactory m_makePages;
    PublishOptions m_options;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);

    SiteFtp m_site;
    std::unique_ptr<SitePages> m_pages;
    std::filesystem::path m_output;
    std::int32_t m_itemPages = 0;
    std::vector<std::string> m_generated;
    std::vector<UploadItem> m_files;
    std::size_t m_unchanged = 0;
    std::optional<UploadManifest> m_manifest;

    CFtpClient m_client;
    std::unique_ptr<RemotePathWalk> m_walk; // made when the session starts
    bool m_sending = false;
    std::size_t m_next = 0;     // index of the next file to send
    std::size_t m_uploaded = 0; // files the server confirmed
    std::int64_t m_currentBytes = 0;
    std::uint64_t m_completedBytes = 0, m_totalBytes = 0;

    std::unique_ptr<platform::HttpClient> m_http;
    int m_exchangePending = 0;

    PublishView m_view;
    PublishEnd m_end;
    bool m_started = false;
};

} // namespace vellumite
