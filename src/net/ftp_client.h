// CFtpClient: the asynchronous FTP client. One operation at a time; each method returns at once
// and its completion arrives as its own event with a status.
#pragma once

#include "net/ftp_listing.h"
#include "net/socket.h"
#include "net/timeout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vellumite {

// The status argument of every completion event.
enum AsyncResultStatus : std::int32_t {
    arStatusOk = 0,
    arStatusError = 1,
    arStatusTimeOut = 2,
    arStatusCancel = 3,
};

// The client's last error; reply errors are numbered 16000 plus the reply code.
class CFtpError {
public:
    std::int32_t Number = 0;
    std::string Description;
    std::string Source;
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

// Methods raise platform::NumberedError to the caller (380, 5, 16007, 16008 and the errors of the layers
// below); asynchronous failures arrive as completion events with arStatusError and the details
// in LastFtpError. Handlers may call the client's methods, but must not destroy it.
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
    const std::string& LastServerResponse() const { return m_lastServerResponse; }
    const CFtpError& LastFtpError() const { return m_lastFtpError; }

    // ---- methods
    void Connect();
    void SetCurrentDirectory(const std::string& path);
    void GetCurrentDirectory();
    void CreateDirectory(const std::string& path);
    void RemoveDirectory(const std::string& path);
    void DeleteFile(const std::string& remoteFile);
    void RenameFile(const std::string& oldName, const std::string& newName);
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

private:
    struct LocalFile; // the open local file of a transfer

    // Operations
    void startOperation(FtpOperation operation, const std::function<void()>& firstStep);
    // The methods that send one command with a remote name.
    void startNamedCommand(const char* method, FtpOperation operation, const char* verb,
                           const std::string& name);
    void requireIdle(const char* method) const;
    void EndOperation();
    void raiseCompletion(FtpOperation operation, AsyncResultStatus status);
    // Ends `operation` with arStatusError and `error`, cleaning up what it had open.
    void failOperation(const CFtpError& error, FtpOperation operation);
    // Closes what a failed transfer or listing left open, and the session when asked; errors
    // while closing are dropped.
    void closeAfterFailure(FtpOperation operation, bool closeControl);
    void setState(FtpState state);

    // Control connection
    void SendFtpCommand(const std::string& verb, const std::string& argument = {});
    void onControlData();
    void dispatchReply(int code, const std::string& replyText);
    void onConnectReply(int code);
    void onTransferReply(int code, const std::string& replyText);
    void RaiseFtpError(int code, bool closeControl = false);
    bool GetDirFromResponse();
    void CloseControlConnection();
    void loginAccepted();

    // Data connection and files
    void SendPORTCommand();
    void EstablishPasvDataConnection(const std::string& replyText);
    void startTransferCommand(); // OpenLocalFile or OpenLocalFileForUpload, then RETR/STOR/LIST
    bool OpenLocalFile();
    bool OpenLocalFileForUpload();
    void startUpload(); // once per transfer, when both STOR and the data connection are there
    void UploadData();
    void CloseLocalFile();
    void CloseDataConnection();
    void finishTransferIfDone();
    void onDataArrival();
    void onDataClose();
    void onDataConnectionRequest(std::int32_t requestId);
    void onDataSendComplete();

    // Runs a socket event handler: errors it meets fail the operation instead of escaping.
    void guarded(const char* routine, const std::function<void()>& body);

    platform::EventLoop& m_loop;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
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

    FtpOperation m_operation = FtpOperation::None;
    std::string m_lastCommand;       // the verb only
    std::string m_replyBuffer;       // text received since the last command was sent
    std::size_t m_replyConsumed = 0; // of m_replyBuffer, what replies already acted on took
    std::string m_newName;           // waits for RNTO

    // Transfer state, reset by CloseLocalFile.
    std::string m_remoteFile, m_localFile;
    bool m_overwrite = false;
    std::unique_ptr<LocalFile> m_file;
    bool m_truncatePending = false; // overwrite: the old file goes once data is certain
    std::int64_t m_bytesReceived = 0, m_bytesSent = 0, m_fileLength = 0, m_startPosition = 0;
    std::string m_piece;
    std::string m_listingBuffer;
    // A download or listing ends when both the data connection has closed and the server has
    // confirmed the transfer, so that an aborted transfer is never reported as complete.
    bool m_dataClosed = false, m_transferConfirmed = false;
    bool m_uploadStarted = false;
};

namespace ftp_detail {
// The process's active-mode port sequence: random in 20000..40001 first, then one up each
// call, wrapping to 20000 after 65535.
std::int32_t GetFreePort();
} // namespace ftp_detail

} // namespace vellumite
