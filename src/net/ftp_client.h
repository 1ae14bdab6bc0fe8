// CFtpClient: the asynchronous FTP client. One operation at a time; each method returns at once
// and its completion arrives as its own event with a status.
#pragma once

#include "net/ftp_error.h"
#include "net/ftp_listing.h"
#include "net/ftp_local_file.h"
#include "net/ftp_reply.h"
#include "net/socket.h"
#include "net/timeout.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellumite {

// The status argument of every completion event.
enum AsyncResultStatus : std::int32_t {
    arStatusOk = 0,
    arStatusError = 1,
    arStatusTimeOut = 2,
    arStatusCancel = 3,
};

// Values of FtpSessionState; each change is announced by OnStateChange.
enum class FtpState : std::int32_t {
    Ready = 0,
    NotConnected = 1,
    Connecting = 2,
    AwaitingGreeting = 3,
    LoggingIn = 4,
    LoggedIn = 5,
    ChangingDirectory = 6,
    DeletingFile = 7,
    RemovingDirectory = 8,
    CreatingDirectory = 9,
    Renaming = 10,
    OpeningDataConnection = 11,
    Listing = 13,
    Downloading = 15,
    Uploading = 17,
    Quitting = 19,
};

// The operation under way; each method sets its code when it starts.
enum class FtpOperation : std::int32_t {
    None = 0,
    Connect = 1,
    GetCurrentDirectory = 2,
    SetCurrentDirectory = 3,
    CreateDirectory = 4,
    RemoveDirectory = 5,
    RenameFile = 6,
    DeleteFile = 7,
    DownloadFile = 8,
    UploadFile = 9,
    EnumFiles = 10,
    QuitSession = 11,
    Quote = 12, // a raw command, for diagnosing a server from the command line
};

const char* to_string(FtpState state);

// What the control connection waits for: one state per reply awaited, entered when the command
// that asks for it has been sent, each with its own handler. A session over TLS secures the
// connection between the greeting and USER, and its data connections after the login.
enum class FtpWait : std::int32_t {
    Idle,         // no command out: a reply now answers nothing
    Greeting,     // 220, once the connection is made
    Auth,         // 234: the server will speak TLS
    TlsHandshake, // no reply: the control connection's handshake and the certificate check
    User,         // 230, or 331 asking for PASS
    Pass,         // 230 or 202
    Pbsz,         // 200 to PBSZ 0
    Prot,         // 200 to PROT P: data connections are encrypted too
    Pwd,          // 257 with the quoted path
    Cwd,          // 250
    Mkd,          // 257
    Rmd,          // 250
    Dele,         // 250
    Rnfr,         // 350 asking for RNTO
    Rnto,         // 250
    Type,         // 200, then PASV or PORT
    Pasv,         // 227 naming the data address
    DataConnect,  // no reply: the passive data connection is being made
    Port,         // 200
    Rest,         // 350, then RETR or STOR from the offset
    Retr,         // 1xx, then 226 or 250; the download also needs its data connection closed
    Stor,         // 1xx (the upload may start), then 226 or 250
    List,         // 1xx, then 226 or 250; the listing also needs its data connection closed
    DataEnd,      // no reply: the transfer was confirmed and its data connection is ending
    Quit,         // 221
    Quote,        // the final reply to a command typed by the user
};

// "USER", "DATA END": the names the trace prints.
const char* to_string(FtpWait wait);

// Methods raise platform::NumberedError to the caller (380, 5, 16007, 16008 and the errors of
// the layers below); asynchronous failures arrive as completion events with arStatusError and
// the details in LastFtpError. The time-out runs from the last whole reply, data arrival or
// piece sent. Handlers may call the client's methods, but must not destroy it.
class CFtpClient {
public:
    explicit CFtpClient(platform::EventLoop& loop);
    ~CFtpClient();
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    // ---- properties
    const std::string& FtpServer() const { return m_ftpServer; }
    void setFtpServer(const std::string& server) { m_ftpServer = server; }
    const std::string& UserName() const { return m_userName; }
    void setUserName(const std::string& name) { m_userName = name; }
    const std::string& Password() const { return m_password; }
    void setPassword(const std::string& password) { m_password = password; }
    std::int32_t RemotePort() const { return m_remotePort; }
    void setRemotePort(std::int32_t port); // 1..65535, else 380
    bool PassiveMode() const { return m_passiveMode; }
    void setPassiveMode(bool passive) { m_passiveMode = passive; }
    std::int32_t TransferMode() const { return m_transferMode; }
    void setTransferMode(std::int32_t mode) { m_transferMode = mode; }
    std::int32_t SendBufferLenght() const { return m_sendBufferLenght; }
    void setSendBufferLenght(std::int32_t length); // 512..8192, else 380
    std::int16_t TimeOut() const { return m_timeOut; }
    void setTimeOut(std::int16_t seconds);
    FtpState FtpSessionState() const { return m_state; }
    bool Busy() const { return m_state != FtpState::Ready && m_state != FtpState::NotConnected; }
    bool DataTransferInProgress() const;
    const std::string& CurrentDirectory() const { return m_currentDirectory; }
    std::shared_ptr<CFtpFiles> CurrentDirectoryFiles() const { return m_currentDirectoryFiles; }
    const std::string& CurrentDirectoryListing() const { return m_currentDirectoryListing; }
    // Reading it empties it.
    std::string FtpServerMessage();
    // The text of the last whole reply, every line with its line end.
    const std::string& LastServerResponse() const { return m_lastServerResponse; }

    // FTP over explicit TLS: AUTH TLS before the login, PBSZ 0 and PROT P after it, every data
    // connection encrypted and resuming the control connection's TLS session. A server that
    // does not offer it ends Connect with kNoTlsError before anything else is sent.
    static constexpr std::int32_t kNoTlsError = 16010;
    bool UseTls() const { return m_useTls; }
    void setUseTls(bool useTls) { m_useTls = useTls; }
    // Certificate authorities trusted besides the system's (a PEM file; empty for none).
    const std::string& CaFile() const { return m_caFile; }
    void setCaFile(const std::string& path) { m_caFile = path; }
    // Certificates accepted although no trusted authority vouches for them (SHA-256
    // fingerprints in any usual spelling).
    const std::vector<std::string>& TrustedFingerprints() const { return m_trustedFingerprints; }
    void setTrustedFingerprints(const std::vector<std::string>& fingerprints);
    // The control connection's certificate as last presented, also when it was refused
    // (LastFtpError 10601).
    const platform::tls::Certificate& ServerCertificate() const {
        return m_objControlSocket.TlsPeerCertificate();
    }
    const CFtpError& LastFtpError() const { return m_lastFtpError; }

    // ---- methods
    void Connect();
    void SetCurrentDirectory(const std::string& path);
    void GetCurrentDirectory();
    void CreateDirectory(const std::string& path);
    void RemoveDirectory(const std::string& path);
    void DeleteFile(const std::string& remoteFile);
    void RenameFile(const std::string& oldName, const std::string& newName);
    // Without overwrite an existing local file is resumed; otherwise the file is replaced only
    // once the download has completed.
    void DownloadFile(const std::string& remoteFile, const std::string& localFile, bool overwrite);
    void EnumFiles();
    void UploadFile(const std::string& localFile, const std::string& remoteFile,
                    std::int64_t startPosition = 0);
    void QuitSession();
    void CancelAsyncMethod();
    // Sends one command line as typed; completes on its reply: below 400 Ok, else an error.
    void Quote(const std::string& commandLine);

    // ---- events, in their interface order
    std::function<void(AsyncResultStatus)> OnConnect;
    std::function<void(AsyncResultStatus)> OnCreateDirectory;
    std::function<void(AsyncResultStatus)> OnDeleteFile;
    std::function<void(AsyncResultStatus)> OnGetCurrentDirectory;
    std::function<void(AsyncResultStatus)> OnSetCurrentDirectory;
    std::function<void(AsyncResultStatus)> OnRemoveDirectory;
    std::function<void(AsyncResultStatus)> OnRenameFile;
    std::function<void(AsyncResultStatus)> OnDownloadFile;
    std::function<void(AsyncResultStatus)> OnUploadFile;
    std::function<void(AsyncResultStatus)> OnEnumFiles;
    // Bytes of the current transfer so far (restart offset included), or the listing's length.
    std::function<void(std::int64_t)> OnDataTransferProgress;
    // MessageType: 0 command sent, 1 reply below 400, 2 reply of 400 or more.
    std::function<void(const std::string& Message, std::int32_t MessageType)>
        SessionProtocolMessage;
    std::function<void(FtpState)> OnStateChange;
    std::function<void(AsyncResultStatus)> OnQuitSession;
    std::function<void(AsyncResultStatus)> OnQuote;
    // Every change of the awaited reply, for tracing the protocol.
    std::function<void(FtpWait from, FtpWait to)> OnWaitChange;
    // A connection was secured: "control connection: TLSv1.3, <cipher>, certificate trusted
    // by the system" and the like, for tracing.
    std::function<void(const std::string& description)> OnTlsEstablished;

private:
    // Where the data connection of the current transfer stands.
    enum class DataLink {
        Closed,     // none
        Listening,  // active mode: waiting for the server to connect
        Connecting, // passive mode: connecting to the server
        Open,       // connected; an upload waits for its command to be accepted
        Sending,    // the upload's pieces are going out
        Sent,       // every piece went out and the sending side is shut
        Ended,      // the server closed it: the download's or listing's data is complete
    };

    // A reply together with the number of commands sent when it arrived: a reply that came
    // before the command now out cannot be its answer.
    struct ReceivedReply {
        FtpReply reply;
        std::uint64_t commandsSent;
    };

    // ---- session (ftp_client.cpp)
    void startOperation(FtpOperation operation, const std::function<void()>& firstStep);
    // The methods that send one command with a remote name.
    void startNamedCommand(const char* method, FtpOperation operation, const char* verb,
                           FtpWait awaits, const std::string& name);
    void requireIdle(const char* method) const;
    void EndOperation();
    void raiseCompletion(FtpOperation operation, AsyncResultStatus status);
    void setState(FtpState state);
    // The one place that changes the awaited reply; it announces the change.
    void setWait(FtpWait next);
    // Sends the command, then awaits `awaits`: a command that could not be sent moves nothing.
    void SendFtpCommand(const std::string& verb, const std::string& argument, FtpWait awaits);
    void onControlData();
    void onReply(const ReceivedReply& received);
    void dispatchReply(const FtpReply& reply);
    void onUnsolicited(int code);
    void onClosingNotice(); // a 421: the server is ending the session
    void onGreeting(int code);
    void onAuth(int code);
    void onControlSecured();
    void onPbsz(int code);
    void onProt(int code);
    void onUser(int code);
    void onPass(int code);
    void loginAccepted();
    void onPwd(const FtpReply& reply);
    void onCommandDone(int code, int okCode); // CWD, MKD, RMD, DELE, RNTO
    void onRnfr(int code);
    void onQuit(int code);
    void onQuote(int code);
    void onTimeOut();
    void onControlLost(const CFtpError& error);
    void CloseControlConnection();
    void closeControlSocket();

    // ---- transfers (ftp_transfer.cpp)
    void onType(int code);
    void onPasv(const FtpReply& reply);
    void onPort(int code);
    void onRest(int code);
    void onTransferReply(int code); // RETR, LIST
    void onStor(int code);
    // The final reply of RETR, STOR or LIST: false when it reports the transfer failed.
    bool transferConfirmed(int code);
    void SendPORTCommand();
    void EstablishPasvDataConnection(const FtpReply& reply);
    void startTransferCommand(); // OpenLocalFile or OpenLocalFileForUpload, then RETR/STOR/LIST
    void sendTransferCommand();  // RETR or STOR, once any restart was accepted
    bool OpenLocalFile();
    bool OpenLocalFileForUpload();
    void startUpload(); // once per transfer, when both STOR and the data connection are there
    void UploadData();
    void CloseLocalFile();
    void CloseDataConnection();
    void finishTransfer();
    void onDataConnect();
    void onDataArrival();
    void onDataClose();
    void onDataConnectionRequest(std::int32_t requestId);
    void onDataSendComplete();
    void secureDataConnection();
    void transferAnswered(int code); // a reply to RETR, STOR or LIST

    // ---- errors (ftp_error.cpp)
    void RaiseFtpError(int code, bool closeControl = false);
    // Ends `operation` with arStatusError and `error`, cleaning up what it had open.
    void failOperation(const CFtpError& error, FtpOperation operation, bool closeControl = false);
    // Closes what a failed transfer or listing left open, and the session when asked; errors
    // while closing are dropped.
    void closeAfterFailure(FtpOperation operation, bool closeControl);
    // A failed data connection: reported now, or held for the reply that explains it.
    void dataConnectionFailed(const CFtpError& error);
    // Fails the operation with the held failure; false when none is held.
    bool reportHeldDataError();
    // Runs a socket event handler: errors it meets fail the operation instead of escaping.
    void guarded(const char* routine, const std::function<void()>& body);

    platform::EventLoop& m_loop;
    CSocket m_objControlSocket;
    CSocket m_objDataSocket;
    CTimeout m_objTimeOut;

    std::string m_ftpServer, m_userName, m_password;
    std::int32_t m_remotePort = 21;
    bool m_passiveMode = false;
    std::int32_t m_transferMode = 1;
    std::int32_t m_sendBufferLenght = 1460;
    std::int16_t m_timeOut = 60;
    FtpState m_state = FtpState::NotConnected;
    std::string m_currentDirectory;
    std::shared_ptr<CFtpFiles> m_currentDirectoryFiles;
    std::string m_currentDirectoryListing;
    std::string m_ftpServerMessage;
    std::string m_lastServerResponse;
    CFtpError m_lastFtpError;
    bool m_useTls = false;
    std::string m_caFile;
    std::vector<std::string> m_trustedFingerprints;       // normalised
    std::shared_ptr<platform::tls::Context> m_tlsContext; // made by Connect
    platform::tls::SavedSession m_offeredSession;         // to the last data connection

    FtpOperation m_operation = FtpOperation::None;
    FtpWait m_wait = FtpWait::Idle;
    DataLink m_link = DataLink::Closed;
    bool m_dataSecured = false;      // StartTls was called on this data connection
    bool m_transferAnswered = false; // the transfer command has had its first reply
    FtpReplyReader m_replies;
    std::deque<ReceivedReply> m_received; // whole replies not yet dispatched
    std::uint64_t m_commandsSent = 0;
    std::string m_newName; // waits for RNTO
    // A data connection failure while its command's reply is still to come: the reply, or the
    // time-out, decides what is reported.
    std::optional<CFtpError> m_heldDataError;

    // Transfer state, reset by CloseLocalFile.
    std::string m_remoteFile, m_localFile;
    bool m_overwrite = false;
    std::unique_ptr<FtpLocalFile> m_file;
    std::int64_t m_bytesReceived = 0, m_bytesSent = 0, m_fileLength = 0, m_startPosition = 0;
    std::string m_piece;
    std::string m_listingBuffer;
};

namespace ftp_detail {

// The process's active-mode port sequence: random in 20000..40001 first, then one up each
// call, wrapping to 20000 after 65535.
std::int32_t GetFreePort();
} // namespace ftp_detail

} // namespace vellumite
