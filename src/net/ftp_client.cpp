// CFtpClient: the control session's reply machine, the data connection, transfers and time-out.
#include "net/ftp_client.h"

#include "net/ftp_reply.h"
#include "platform/error.h"
#include "net/socket_support.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vellumite {

namespace {

// The password of an anonymous login, by custom an e-mail address.
constexpr const char* kAnonymousPassword = "anonymous@example.com";
// Listening ports tried for one PORT command before giving up.
constexpr int kPortAttempts = 100;
constexpr const char* kReplySource = "RarIrovudI.CFtpClient";

std::string replyDescription(int code) {
    static const std::unordered_map<int, const char*> texts = {
        {120, "Service ready in nnn minutes."},
        {332, "Need account for login."},
        {350, "Requested file action pending further information."},
        {421, "Service not available, closing control connection."},
        {425, "Can 't open data connection."},
        {426, "Connection closed; transfer aborted."},
        {450, "Requested file action not taken."},
        {451, "Requested action aborted: local error in processing."},
        {452, "Requested action not taken."},
        {500, "Syntax error, command unrecognized."},
        {501, "Syntax error in parameters or arguments."},
        {502, "Command not implemented."},
        {503, "Bad sequence of commands."},
        {504, "Command not implemented for that parameter."},
        {530, "Not logged in."},
        {532, "Need account for storing files."},
        {550, "Requested action not taken."},
        {551, "Requested action aborted: page type unknown."},
        {552, "Requested file action aborted."},
        {553, "Requested action not taken."},
    };
    auto it = texts.find(code);
    return it == texts.end() ? std::string() : it->second;
}

// CR, LF or NUL in a name would end the command line early and let the rest of the name be
// read as a command of its own.
bool unsafeInCommand(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

platform::NumberedError invalidArgument(const std::string& method) {
    return platform::NumberedError(5, "Invalid procedure call or argument", "CFtpClient." + method);
}

void requireName(const char* method, const std::string& name) {
    if (name.empty() || unsafeInCommand(name))
        throw invalidArgument(method);
}

// A local path: anything the file system takes, but not empty and without NUL.
void requireLocalName(const char* method, const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw invalidArgument(method);
}

// Runs `body`; an error met there is raised again with "CFtpClient.<routine> failed: " before
// its description, unless an inner routine already named itself.
template <class F>
void routine(const char* name, F&& body) {
    try {
        body();
    } catch (const platform::NumberedError& e) {
        if (e.description().rfind("CFtpClient.", 0) == 0)
            throw;
        throw platform::NumberedError(e.number(),
                            std::string("CFtpClient.") + name + " failed: " + e.description(),
                            e.source());
    }
}

// File errors, numbered as the file statements have always numbered them.
[[noreturn]] void raiseFileError(const char* verb, const std::string& path, const char* source) {
    const int error = errno;
    int number;
    switch (error) {
    case ENOENT:
        number = 53;
        break; // File not found
    case EACCES:
    case EPERM:
    case EROFS:
        number = 70;
        break; // Permission denied
    case ENOSPC:
        number = 61;
        break; // Disk full
    case EISDIR:
    case ENOTDIR:
        number = 75;
        break; // Path/File access error
    default:
        number = 57; // Device I/O error
    }
    throw platform::NumberedError(
        number, std::string("cannot ") + verb + " " + path + ": " + std::strerror(error), source);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

template <class F>
void fire(const F& handler, auto&&... args) {
    if (handler) {
        F copy = handler;
        copy(args...);
    }
}

} // namespace

struct CFtpClient::LocalFile {
    int fd = -1;
    explicit LocalFile(int descriptor) : fd(descriptor) {}
    ~LocalFile() {
        if (fd >= 0)
            ::close(fd);
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
};

const char* to_string(FtpState state) {
    switch (state) {
    case FtpState::Ready:
        return "ready";
    case FtpState::NotConnected:
        return "not connected";
    case FtpState::Connecting:
        return "connecting";
    case FtpState::AwaitingGreeting:
        return "awaiting the greeting";
    case FtpState::LoggingIn:
        return "logging in";
    case FtpState::LoggedIn:
        return "logged in";
    case FtpState::ChangingDirectory:
        return "changing directory";
    case FtpState::DeletingFile:
        return "deleting a file";
    case FtpState::RemovingDirectory:
        return "removing a directory";
    case FtpState::CreatingDirectory:
        return "creating a directory";
    case FtpState::Renaming:
        return "renaming";
    case FtpState::OpeningDataConnection:
        return "opening a data connection";
    case FtpState::Listing:
        return "listing or reading the directory";
    case FtpState::Downloading:
        return "downloading";
    case FtpState::Uploading:
        return "uploading";
    case FtpState::Quitting:
        return "quitting";
    }
    return "unknown";
}

namespace ftp_detail {

std::int32_t GetFreePort() {
    static std::mutex mutex;
    static std::int32_t last = 0;
    std::lock_guard lock(mutex);
    if (last == 0) {
        std::mt19937 random(
            static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
        std::uniform_real_distribution<double> fraction(0.0, 1.0);
        last = static_cast<std::int32_t>(std::lround(fraction(random) * 20001 + 20000));
    } else {
        last = last >= 65535 ? 20000 : last + 1;
    }
    return last;
}

} // namespace ftp_detail

// ---- construction and properties -------------------------------------------------------------

CFtpClient::CFtpClient(platform::EventLoop& loop)
    : m_loop(loop), m_objControlSocket(loop), m_objDataSocket(loop), m_objTimeOut(loop) {
    m_objTimeOut.setTimeOutValue(m_timeOut);
    m_objTimeOut.TimeOut = [this] {
        // The operation stays current: the owner decides whether to wait on or cancel.
        if (m_operation != FtpOperation::None)
            raiseCompletion(m_operation, arStatusTimeOut);
    };

    m_objControlSocket.OnConnect = [this] {
        guarded("m_objControlSocket_OnConnect", [this] {
            m_objTimeOut.Reset();
            setState(FtpState::AwaitingGreeting); // nothing is sent before the greeting
        });
    };
    m_objControlSocket.OnDataArrival = [this](std::int32_t) {
        guarded("m_objControlSocket_OnDataArrival", [this] { onControlData(); });
    };
    m_objControlSocket.OnClose = [this] {
        const FtpOperation operation = m_operation;
        if (operation == FtpOperation::None) {
            setState(FtpState::NotConnected);
            return;
        }
        // The server went away in the middle of an operation. A quit has what it asked for;
        // every other operation would otherwise wait for a completion that never comes.
        EndOperation();
        if (operation == FtpOperation::QuitSession) {
            setState(FtpState::NotConnected);
            raiseCompletion(operation, arStatusOk);
            return;
        }
        failOperation(
            {16008, "The connection is not established.", "CFtpClient.m_objControlSocket_OnClose"},
            operation);
    };
    m_objControlSocket.OnError = [this](std::int16_t number, const std::string& description,
                                        std::int32_t, const std::string&, const std::string&,
                                        std::int32_t, bool&) {
        const FtpOperation operation = m_operation;
        try {
            CloseControlConnection();
        } catch (const platform::NumberedError&) {
            // The socket is already gone; the error to report is the one that came in.
        }
        failOperation({number, description, "CFtpClient.m_objControlSocket_OnError"}, operation);
    };

    m_objDataSocket.OnConnect = [this] {
        guarded("m_objDataSocket_OnConnect", [this] { startTransferCommand(); });
    };
    m_objDataSocket.OnConnectionRequest = [this](std::int32_t requestId) {
        guarded("m_objDataSocket_OnConnectionRequest",
                [this, requestId] { onDataConnectionRequest(requestId); });
    };
    m_objDataSocket.OnDataArrival = [this](std::int32_t) {
        guarded("m_objDataSocket_OnDataArrival", [this] { onDataArrival(); });
    };
    m_objDataSocket.OnSendComplete = [this] {
        guarded("m_objDataSocket_OnSendComplete", [this] { onDataSendComplete(); });
    };
    m_objDataSocket.OnClose = [this] {
        guarded("m_objDataSocket_OnClose", [this] { onDataClose(); });
    };
    m_objDataSocket.OnError = [this](std::int16_t number, const std::string& description,
                                     std::int32_t, const std::string& source, const std::string&,
                                     std::int32_t, bool&) {
        if (m_operation == FtpOperation::None)
            return; // a connection given up already
        failOperation({number, description, source}, m_operation);
    };
}

CFtpClient::~CFtpClient() = default;

void CFtpClient::setRemotePort(std::int32_t port) {
    if (port < 1 || port > 65535)
        throw platform::NumberedError(380, "Invalid property value.", "CFtpClient.RemotePort");
    m_remotePort = port;
}

void CFtpClient::setSendBufferLenght(std::int32_t length) {
    if (length < 512 || length > 8192)
        throw platform::NumberedError(380, "Invalid property value.", "CFtpClient.SendBufferLenght");
    m_sendBufferLenght = length;
}

void CFtpClient::setTimeOut(std::int16_t seconds) {
    m_timeOut = seconds;
    m_objTimeOut.setTimeOutValue(seconds);
}

bool CFtpClient::DataTransferInProgress() const {
    return m_operation == FtpOperation::DownloadFile || m_operation == FtpOperation::UploadFile ||
           m_operation == FtpOperation::EnumFiles;
}

std::string CFtpClient::FtpServerMessage() {
    return std::exchange(m_ftpServerMessage, std::string());
}

// ---- operations ------------------------------------------------------------------------------

void CFtpClient::setState(FtpState state) {
    m_state = state;
    fire(OnStateChange, state);
}

void CFtpClient::requireIdle(const char* method) const {
    if (m_operation != FtpOperation::None)
        throw platform::NumberedError(16007,
                            std::string("Cannot execute the ") + method +
                                " method. Waiting fot the server response on the previous command.",
                            std::string("CFtpClient.") + method);
}

void CFtpClient::startOperation(FtpOperation operation, const std::function<void()>& firstStep) {
    m_lastFtpError = CFtpError{};
    m_operation = operation;
    m_objTimeOut.StartTimer();
    try {
        firstStep();
    } catch (...) {
        // Nothing was sent: the client must not stay busy with an operation that never began.
        m_objTimeOut.StopTimer();
        m_operation = FtpOperation::None;
        setState(m_objControlSocket.State() == SocketState::Connected ? FtpState::Ready
                                                                      : FtpState::NotConnected);
        throw;
    }
}

void CFtpClient::EndOperation() {
    m_objTimeOut.StopTimer();
    m_operation = FtpOperation::None;
    setState(FtpState::Ready);
}

void CFtpClient::raiseCompletion(FtpOperation operation, AsyncResultStatus status) {
    switch (operation) {
    case FtpOperation::None:
        return;
    case FtpOperation::Connect:
        fire(OnConnect, status);
        return;
    case FtpOperation::GetCurrentDirectory:
        fire(OnGetCurrentDirectory, status);
        return;
    case FtpOperation::SetCurrentDirectory:
        fire(OnSetCurrentDirectory, status);
        return;
    case FtpOperation::CreateDirectory:
        fire(OnCreateDirectory, status);
        return;
    case FtpOperation::RemoveDirectory:
        fire(OnRemoveDirectory, status);
        return;
    case FtpOperation::RenameFile:
        fire(OnRenameFile, status);
        return;
    case FtpOperation::DeleteFile:
        fire(OnDeleteFile, status);
        return;
    case FtpOperation::DownloadFile:
        fire(OnDownloadFile, status);
        return;
    case FtpOperation::UploadFile:
        fire(OnUploadFile, status);
        return;
    case FtpOperation::EnumFiles:
        fire(OnEnumFiles, status);
        return;
    case FtpOperation::QuitSession:
        fire(OnQuitSession, status);
        return;
    case FtpOperation::Quote:
        fire(OnQuote, status);
        return;
    }
}

void CFtpClient::closeAfterFailure(FtpOperation operation, bool closeControl) {
    try {
        if (operation == FtpOperation::DownloadFile || operation == FtpOperation::UploadFile ||
            operation == FtpOperation::EnumFiles) {
            m_listingBuffer.clear();
            CloseDataConnection();
            CloseLocalFile();
        }
        if (closeControl)
            CloseControlConnection();
    } catch (const platform::NumberedError&) {
        // Clean-up after a failure; the failure itself is what gets reported.
    }
}

void CFtpClient::failOperation(const CFtpError& error, FtpOperation operation) {
    if (m_operation != FtpOperation::None)
        EndOperation();
    // A failed connect leaves no half-open session behind.
    closeAfterFailure(operation, operation == FtpOperation::Connect);
    if (m_objControlSocket.State() != SocketState::Connected &&
        m_objControlSocket.State() != SocketState::Closing)
        setState(FtpState::NotConnected);
    m_lastFtpError = error;
    raiseCompletion(operation, arStatusError);
}

void CFtpClient::guarded(const char* routineName, const std::function<void()>& body) {
    try {
        body();
    } catch (const platform::NumberedError& e) {
        failOperation({e.number(), e.description(), e.source()}, m_operation);
    } catch (const std::exception& e) {
        failOperation({51, std::string("CFtpClient.") + routineName + " failed: " + e.what(),
                       std::string("CFtpClient.") + routineName},
                      m_operation);
    }
}

// ---- methods ---------------------------------------------------------------------------------

void CFtpClient::Connect() {
    if (m_ftpServer.empty())
        throw platform::NumberedError(380, "Invalid property value.", "CFtpClient.Connect");
    if (unsafeInCommand(m_ftpServer) || unsafeInCommand(m_userName) || unsafeInCommand(m_password))
        throw invalidArgument("Connect");
    if (m_userName.empty()) {
        m_userName = "anonymous";
        m_password = kAnonymousPassword;
    }
    // A session still open is given up: Connect always starts a fresh one.
    while (m_objControlSocket.SocketHandle() != -1)
        m_objControlSocket.CloseSocket();
    m_lastCommand.clear();
    m_replyBuffer.clear();
    m_replyConsumed = 0;
    m_lastFtpError = CFtpError{};
    m_operation = FtpOperation::Connect;
    m_objTimeOut.StartTimer();
    setState(FtpState::Connecting);
    try {
        m_objControlSocket.Connect(m_ftpServer, m_remotePort);
    } catch (const platform::NumberedError&) {
        m_objTimeOut.StopTimer();
        m_operation = FtpOperation::None;
        setState(FtpState::NotConnected);
        throw;
    }
}

void CFtpClient::startNamedCommand(const char* method, FtpOperation operation, const char* verb,
                                   const std::string& name) {
    requireIdle(method);
    requireName(method, name);
    startOperation(operation, [&] { SendFtpCommand(verb, name); });
}

void CFtpClient::SetCurrentDirectory(const std::string& path) {
    startNamedCommand("SetCurrentDirectory", FtpOperation::SetCurrentDirectory, "CWD", path);
}

void CFtpClient::GetCurrentDirectory() {
    requireIdle("GetCurrentDirectory");
    startOperation(FtpOperation::GetCurrentDirectory, [&] { SendFtpCommand("PWD"); });
}

void CFtpClient::CreateDirectory(const std::string& path) {
    startNamedCommand("CreateDirectory", FtpOperation::CreateDirectory, "MKD", path);
}

void CFtpClient::RemoveDirectory(const std::string& path) {
    startNamedCommand("RemoveDirectory", FtpOperation::RemoveDirectory, "RMD", path);
}

void CFtpClient::DeleteFile(const std::string& remoteFile) {
    startNamedCommand("DeleteFile", FtpOperation::DeleteFile, "DELE", remoteFile);
}

void CFtpClient::RenameFile(const std::string& oldName, const std::string& newName) {
    requireIdle("RenameFile");
    requireName("RenameFile", oldName);
    requireName("RenameFile", newName);
    m_newName = newName;
    startOperation(FtpOperation::RenameFile, [&] { SendFtpCommand("RNFR", oldName); });
}

void CFtpClient::DownloadFile(const std::string& remoteFile, const std::string& localFile,
                              bool overwrite) {
    requireIdle("DownloadFile");
    requireName("DownloadFile", remoteFile);
    requireLocalName("DownloadFile", localFile);
    CloseLocalFile();
    m_remoteFile = remoteFile;
    m_localFile = localFile;
    m_overwrite = overwrite;
    startOperation(FtpOperation::DownloadFile,
                   [&] { SendFtpCommand("TYPE", m_transferMode == 0 ? "A" : "I"); });
}

void CFtpClient::EnumFiles() {
    requireIdle("EnumFiles");
    m_listingBuffer.clear();
    startOperation(FtpOperation::EnumFiles, [&] { SendFtpCommand("TYPE", "A"); });
}

void CFtpClient::UploadFile(const std::string& localFile, const std::string& remoteFile,
                            std::int64_t startPosition) {
    requireIdle("UploadFile");
    requireName("UploadFile", remoteFile);
    requireLocalName("UploadFile", localFile);
    CloseLocalFile();
    m_localFile = localFile;
    m_remoteFile = remoteFile;
    m_startPosition = std::max<std::int64_t>(startPosition, 0);
    m_piece.reserve(static_cast<std::size_t>(m_sendBufferLenght));
    startOperation(FtpOperation::UploadFile,
                   [&] { SendFtpCommand("TYPE", m_transferMode == 0 ? "A" : "I"); });
}

void CFtpClient::QuitSession() {
    requireIdle("QuitSession");
    startOperation(FtpOperation::QuitSession, [&] { SendFtpCommand("QUIT"); });
}

void CFtpClient::Quote(const std::string& commandLine) {
    requireIdle("Quote");
    requireName("Quote", commandLine);
    const std::size_t space = commandLine.find(' ');
    const std::string verb = commandLine.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : commandLine.substr(space + 1);
    startOperation(FtpOperation::Quote, [&] { SendFtpCommand(verb, argument); });
}

void CFtpClient::CancelAsyncMethod() {
    const FtpOperation operation = m_operation;
    if (operation == FtpOperation::None)
        return; // nothing to cancel; the session state stays as it is
    EndOperation();
    if (operation == FtpOperation::DownloadFile || operation == FtpOperation::UploadFile) {
        CloseDataConnection();
        CloseLocalFile();
    } else if (operation == FtpOperation::EnumFiles) {
        m_listingBuffer.clear();
        CloseDataConnection();
    } else if (operation == FtpOperation::Connect) {
        // A login given up half-way must not pass for a ready session.
        while (m_objControlSocket.SocketHandle() != -1)
            m_objControlSocket.CloseSocket();
        setState(FtpState::NotConnected);
    }
    if (operation != FtpOperation::QuitSession)
        raiseCompletion(operation, arStatusCancel);
}

// ---- the control connection ------------------------------------------------------------------

void CFtpClient::SendFtpCommand(const std::string& verb, const std::string& argument) {
    if (m_objControlSocket.State() != SocketState::Connected)
        throw platform::NumberedError(16008, "The connection is not established.",
                            "CFtpClient.SendFtpCommand");
    if (unsafeInCommand(verb) || unsafeInCommand(argument))
        throw invalidArgument("SendFtpCommand");
    m_replyBuffer.clear();
    m_replyConsumed = 0;

    FtpState next = FtpState::Ready;
    if (verb == "USER" || verb == "PASS")
        next = FtpState::LoggingIn;
    else if (verb == "CWD")
        next = FtpState::ChangingDirectory;
    else if (verb == "DELE")
        next = FtpState::DeletingFile;
    else if (verb == "RMD")
        next = FtpState::RemovingDirectory;
    else if (verb == "MKD")
        next = FtpState::CreatingDirectory;
    else if (verb == "RNFR")
        next = FtpState::Renaming;
    else if (verb == "LIST" || verb == "PWD")
        next = FtpState::Listing;
    else if (verb == "RETR")
        next = FtpState::Downloading;
    else if (verb == "STOR")
        next = FtpState::Uploading;
    else if (verb == "QUIT")
        next = FtpState::Quitting;
    else if (verb == "TYPE" || verb == "PASV" || verb == "PORT" || verb == "REST")
        next = m_operation == FtpOperation::DownloadFile ? FtpState::Downloading
               : m_operation == FtpOperation::UploadFile ? FtpState::Uploading
               : m_operation == FtpOperation::EnumFiles  ? FtpState::Listing
                                                         : FtpState::Ready;
    setState(next);

    const std::string line = argument.empty() ? verb + "\r\n" : verb + " " + argument + "\r\n";
    m_lastCommand = verb;
    routine("SendFtpCommand", [&] { m_objControlSocket.SendData(line); });
    fire(SessionProtocolMessage, verb + " " + argument, std::int32_t{0});
}

void CFtpClient::onControlData() {
    if (m_operation != FtpOperation::None)
        m_objTimeOut.Reset();
    std::string text = m_objControlSocket.GetData();
    m_lastServerResponse = text;
    m_replyBuffer += text;
    // Only what no earlier reply took is examined, so a reply is acted on once.
    const FtpReply reply = GetResponseCode(std::string_view(m_replyBuffer).substr(m_replyConsumed));
    if (reply.code == 0)
        return; // the rest of the reply is still on its way
    const std::string replyText = m_replyBuffer.substr(m_replyConsumed, reply.consumed);
    m_replyConsumed += reply.consumed;
    if (reply.message.size() > 2)
        m_ftpServerMessage = reply.message.substr(0, reply.message.size() - 2);
    fire(SessionProtocolMessage, replyText.substr(0, replyText.size() - 2),
         std::int32_t{reply.code < 400 ? 1 : 2});
    dispatchReply(reply.code, replyText);
}

// The reply table: by operation, then by the command the reply answers.
void CFtpClient::dispatchReply(int code, const std::string& replyText) {
    const std::string& command = m_lastCommand;
    auto completeOn = [&](const char* expected, int okCode) {
        if (command != expected)
            return; // no row for this command: the reply is ignored
        if (code != okCode)
            return RaiseFtpError(code);
        const FtpOperation operation = m_operation;
        EndOperation();
        raiseCompletion(operation, arStatusOk);
    };
    switch (m_operation) {
    case FtpOperation::None:
        if (code == 421)
            CloseControlConnection();
        return;
    case FtpOperation::Connect:
        onConnectReply(code);
        return;
    case FtpOperation::GetCurrentDirectory:
        if (command != "PWD")
            return;
        if (code != 257)
            return RaiseFtpError(code);
        EndOperation();
        if (GetDirFromResponse()) {
            raiseCompletion(FtpOperation::GetCurrentDirectory, arStatusOk);
        } else {
            m_lastFtpError = {16001,
                              "Cannot retrieve the current directory path. Unexpected server "
                              "response.",
                              "CFtpClient.GetDirFromResponse"};
            raiseCompletion(FtpOperation::GetCurrentDirectory, arStatusError);
        }
        return;
    case FtpOperation::SetCurrentDirectory:
        return completeOn("CWD", 250);
    case FtpOperation::CreateDirectory:
        return completeOn("MKD", 257);
    case FtpOperation::RemoveDirectory:
        return completeOn("RMD", 250);
    case FtpOperation::DeleteFile:
        return completeOn("DELE", 250);
    case FtpOperation::RenameFile:
        if (command == "RNFR")
            return code == 350 ? SendFtpCommand("RNTO", m_newName) : RaiseFtpError(code);
        return completeOn("RNTO", 250);
    case FtpOperation::DownloadFile:
    case FtpOperation::UploadFile:
    case FtpOperation::EnumFiles:
        onTransferReply(code, replyText);
        return;
    case FtpOperation::QuitSession:
        if (command != "QUIT")
            return;
        if (code != 221)
            return RaiseFtpError(code);
        EndOperation();
        routine("QuitSession", [&] { m_objControlSocket.CloseSocket(); });
        raiseCompletion(FtpOperation::QuitSession, arStatusOk);
        return;
    case FtpOperation::Quote:
        if (code < 200)
            return; // a preliminary reply; the final one follows
        if (code >= 400)
            return RaiseFtpError(code);
        EndOperation();
        raiseCompletion(FtpOperation::Quote, arStatusOk);
        return;
    }
}

void CFtpClient::onConnectReply(int code) {
    const std::string& command = m_lastCommand;
    auto refuse = [&] { RaiseFtpError(code, /*closeControl=*/true); };
    if (command.empty()) {
        code == 220 ? SendFtpCommand("USER", m_userName) : refuse();
    } else if (command == "USER") {
        if (code == 230)
            loginAccepted();
        else if (code == 331)
            SendFtpCommand("PASS", m_password);
        else
            refuse();
    } else if (command == "PASS") {
        code == 230 || code == 202 ? loginAccepted() : refuse();
    } else if (command == "PWD") {
        if (code != 257)
            return refuse();
        if (GetDirFromResponse()) {
            EndOperation();
            raiseCompletion(FtpOperation::Connect, arStatusOk);
            return;
        }
        EndOperation();
        CloseControlConnection();
        m_lastFtpError = {16001,
                          "Cannot retrieve the current directory path. Unexpected server "
                          "response.",
                          "CFtpClient.GetDirFromResponse"};
        raiseCompletion(FtpOperation::Connect, arStatusError);
    }
}

void CFtpClient::loginAccepted() {
    setState(FtpState::LoggedIn);
    SendFtpCommand("PWD");
}

void CFtpClient::onTransferReply(int code, const std::string& replyText) {
    const std::string& command = m_lastCommand;
    const FtpOperation operation = m_operation;
    if (command == "TYPE") {
        if (code != 200)
            return RaiseFtpError(code);
        m_passiveMode ? SendFtpCommand("PASV") : SendPORTCommand();
    } else if (command == "PASV") {
        code == 227 ? EstablishPasvDataConnection(replyText) : RaiseFtpError(code);
    } else if (command == "PORT") {
        code == 200 ? startTransferCommand() : RaiseFtpError(code);
    } else if (command == "REST") {
        if (operation == FtpOperation::EnumFiles)
            return;
        if (code != 350)
            return RaiseFtpError(code);
        SendFtpCommand(operation == FtpOperation::DownloadFile ? "RETR" : "STOR", m_remoteFile);
    } else if (command == "RETR" || command == "LIST") {
        if (code == 110 || code == 125 || code == 150)
            return;
        if (code != 226 && code != 250)
            return RaiseFtpError(code);
        m_transferConfirmed = true;
        finishTransferIfDone();
    } else if (command == "STOR") {
        if (code == 110 || code == 125 || code == 150) {
            // In active mode the upload starts when the server connects, which some servers
            // do as soon as they get PORT, before this reply.
            if (m_passiveMode || m_objDataSocket.State() == SocketState::Connected)
                startUpload();
            return;
        }
        if (code != 226 && code != 250)
            return RaiseFtpError(code);
        EndOperation();
        raiseCompletion(FtpOperation::UploadFile, arStatusOk);
    }
}

void CFtpClient::RaiseFtpError(int code, bool closeControl) {
    const FtpOperation operation = m_operation;
    EndOperation();
    closeAfterFailure(operation, closeControl);
    m_lastFtpError = {16000 + code, replyDescription(code), kReplySource};
    raiseCompletion(operation, arStatusError);
}

bool CFtpClient::GetDirFromResponse() {
    m_currentDirectory.clear();
    if (m_replyBuffer.size() < 7)
        return false;
    const std::size_t first = m_replyBuffer.find('"');
    if (first == std::string::npos || first == 0)
        return false;
    const std::size_t second = m_replyBuffer.find('"', first + 1);
    if (second == std::string::npos)
        return false;
    std::string path = m_replyBuffer.substr(first + 1, second - first - 1);
    std::replace(path.begin(), path.end(), '\\', '/');
    m_currentDirectory = path;
    return true;
}

void CFtpClient::CloseControlConnection() {
    if (m_operation != FtpOperation::None)
        EndOperation();
    if (m_objControlSocket.State() != SocketState::Closed)
        routine("CloseControlConnection", [&] { m_objControlSocket.CloseSocket(); });
    if (m_objControlSocket.SocketHandle() == -1)
        setState(FtpState::NotConnected);
}

// ---- the data connection ---------------------------------------------------------------------

void CFtpClient::SendPORTCommand() {
    setState(FtpState::OpeningDataConnection);
    m_dataClosed = m_transferConfirmed = m_uploadStarted = false;
    const std::string localIP = m_objControlSocket.LocalIP();
    std::int32_t port = 0;
    for (int attempt = 1;; ++attempt) {
        port = ftp_detail::GetFreePort();
        try {
            while (m_objDataSocket.SocketHandle() != -1)
                m_objDataSocket.CloseSocket();
            // Listening on the control connection's own address only: the server is the one
            // peer expected.
            m_objDataSocket.Bind(port, localIP);
            m_objDataSocket.Listen();
            break;
        } catch (const platform::NumberedError& e) {
            if (attempt == kPortAttempts)
                routine("SendPORTCommand", [&] { throw e; });
        }
    }
    std::string argument = localIP;
    std::replace(argument.begin(), argument.end(), '.', ',');
    argument += "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
    SendFtpCommand("PORT", argument);
}

void CFtpClient::EstablishPasvDataConnection(const std::string& replyText) {
    setState(FtpState::OpeningDataConnection);
    m_dataClosed = m_transferConfirmed = m_uploadStarted = false;
    const std::size_t open = replyText.find('(');
    const std::size_t close = open == std::string::npos ? open : replyText.find(')', open);
    if (close == std::string::npos)
        throw platform::NumberedError(16003,
                            "Cannot open the data connection: the passive mode reply names no "
                            "address.",
                            "CFtpClient.EstablishPasvDataConnection");
    std::vector<int> fields;
    std::string inside = replyText.substr(open + 1, close - open - 1);
    std::size_t at = 0;
    for (;;) {
        std::size_t comma = inside.find(',', at);
        std::string field = inside.substr(at, comma == std::string::npos ? comma : comma - at);
        int value = -1;
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (ec != std::errc() || end != field.data() + field.size() || value < 0 || value > 255)
            value = -1;
        fields.push_back(value);
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    if (fields.size() != 6 || std::find(fields.begin(), fields.end(), -1) != fields.end())
        throw platform::NumberedError(16003,
                            "Cannot open the data connection: the passive mode reply names no "
                            "usable address.",
                            "CFtpClient.EstablishPasvDataConnection");
    std::string host = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
                       std::to_string(fields[2]) + "." + std::to_string(fields[3]);
    const std::int32_t port = fields[4] * 256 + fields[5];
    // The data connection goes to the host the control connection reached, whatever address
    // the reply names: servers behind NAT name their private one, and a reply naming another
    // host must not send our data there.
    if (!m_objControlSocket.RemoteHostIP().empty())
        host = m_objControlSocket.RemoteHostIP();
    routine("EstablishPasvDataConnection", [&] {
        while (m_objDataSocket.SocketHandle() != -1)
            m_objDataSocket.CloseSocket();
        m_objDataSocket.Connect(host, port);
    });
}

void CFtpClient::startTransferCommand() {
    switch (m_operation) {
    case FtpOperation::DownloadFile:
        if (!OpenLocalFile())
            SendFtpCommand("RETR", m_remoteFile);
        return;
    case FtpOperation::UploadFile:
        if (!OpenLocalFileForUpload())
            SendFtpCommand("STOR", m_remoteFile);
        return;
    case FtpOperation::EnumFiles:
        SendFtpCommand("LIST");
        return;
    default:
        return;
    }
}

void CFtpClient::onDataConnectionRequest(std::int32_t requestId) {
    // Only the server may connect; anything else is left unadopted and closed by the layer.
    if (MSocketSupport::PeerAddress(requestId) != m_objControlSocket.RemoteHostIP())
        return;
    routine("m_objDataSocket_OnConnectionRequest", [&] {
        m_objDataSocket.CloseSocket(); // the listening socket
        m_objDataSocket.Accept(requestId);
    });
    if (m_operation == FtpOperation::UploadFile && m_lastCommand == "STOR")
        startUpload();
}

void CFtpClient::startUpload() {
    if (m_uploadStarted)
        return;
    m_uploadStarted = true;
    m_bytesSent = m_startPosition;
    UploadData();
}

bool CFtpClient::OpenLocalFile() {
    bool restSent = false;
    routine("OpenLocalFile", [&] {
        std::int64_t offset = 0;
        if (FileExists(m_localFile)) {
            struct stat info {};
            ::stat(m_localFile.c_str(), &info);
            // Overwriting: the old file goes when the first byte arrives, not before the
            // server has agreed to send.
            if (m_overwrite)
                m_truncatePending = true;
            else
                offset = info.st_size;
        }
        int fd = ::open(m_localFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            raiseFileError("open", m_localFile, "CFtpClient.OpenLocalFile");
        m_file = std::make_unique<LocalFile>(fd);
        m_bytesReceived = offset;
        if (offset > 0) {
            SendFtpCommand("REST", std::to_string(offset));
            restSent = true;
        }
    });
    return restSent;
}

bool CFtpClient::OpenLocalFileForUpload() {
    bool restSent = false;
    routine("OpenLocalFileForUpload", [&] {
        m_bytesSent = m_startPosition;
        int fd = ::open(m_localFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            raiseFileError("open", m_localFile, "CFtpClient.OpenLocalFileForUpload");
        m_file = std::make_unique<LocalFile>(fd);
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            raiseFileError("read", m_localFile, "CFtpClient.OpenLocalFileForUpload");
        m_fileLength = info.st_size;
        if (m_startPosition > 0) {
            SendFtpCommand("REST", std::to_string(m_startPosition));
            restSent = true;
        }
    });
    return restSent;
}

void CFtpClient::UploadData() {
    if (m_operation != FtpOperation::UploadFile || !m_file)
        return;
    routine("UploadData", [&] {
        if (m_bytesSent < m_fileLength) {
            const auto length = static_cast<std::size_t>(
                std::min<std::int64_t>(m_sendBufferLenght, m_fileLength - m_bytesSent));
            m_piece.resize(length);
            std::size_t done = 0;
            while (done < length) {
                ssize_t n = ::pread(m_file->fd, m_piece.data() + done, length - done,
                                    static_cast<off_t>(m_bytesSent) + static_cast<off_t>(done));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    if (n == 0)
                        errno = EIO; // the file shrank under us
                    raiseFileError("read", m_localFile, "CFtpClient.UploadData");
                }
                done += static_cast<std::size_t>(n);
            }
            m_bytesSent += static_cast<std::int64_t>(length);
            m_objDataSocket.SendData(std::string_view(m_piece));
        } else {
            CloseLocalFile();
            m_objDataSocket.CloseSocket(); // the server sees the end of the file
        }
    });
}

void CFtpClient::onDataSendComplete() {
    if (m_operation != FtpOperation::UploadFile)
        return;
    m_objTimeOut.Reset();
    fire(OnDataTransferProgress, m_bytesSent);
    UploadData();
}

void CFtpClient::onDataArrival() {
    std::string bytes = m_objDataSocket.GetData();
    if (m_operation == FtpOperation::DownloadFile && m_file) {
        m_objTimeOut.Reset();
        if (m_truncatePending) {
            if (::ftruncate(m_file->fd, 0) != 0)
                raiseFileError("write", m_localFile, "CFtpClient.m_objDataSocket_OnDataArrival");
            m_truncatePending = false;
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pwrite(m_file->fd, bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(m_bytesReceived) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                raiseFileError("write", m_localFile, "CFtpClient.m_objDataSocket_OnDataArrival");
            done += static_cast<std::size_t>(n);
        }
        m_bytesReceived += static_cast<std::int64_t>(bytes.size());
        fire(OnDataTransferProgress, m_bytesReceived);
    } else if (m_operation == FtpOperation::EnumFiles) {
        m_objTimeOut.Reset();
        m_listingBuffer += bytes;
        fire(OnDataTransferProgress, static_cast<std::int64_t>(m_listingBuffer.size()));
    }
    // Anything else is the rest of a transfer that was given up.
}

void CFtpClient::onDataClose() {
    if (m_operation != FtpOperation::DownloadFile && m_operation != FtpOperation::EnumFiles)
        return;
    m_dataClosed = true;
    finishTransferIfDone();
}

void CFtpClient::finishTransferIfDone() {
    if (!m_dataClosed || !m_transferConfirmed)
        return;
    if (m_operation == FtpOperation::DownloadFile) {
        if (m_truncatePending && m_file && ::ftruncate(m_file->fd, 0) != 0)
            raiseFileError("write", m_localFile, "CFtpClient.m_objDataSocket_OnClose");
        EndOperation();
        CloseLocalFile();
        raiseCompletion(FtpOperation::DownloadFile, arStatusOk);
    } else if (m_operation == FtpOperation::EnumFiles) {
        EndOperation();
        m_currentDirectoryFiles = std::make_shared<CFtpFiles>();
        m_currentDirectoryListing = m_listingBuffer;
        m_currentDirectoryFiles = ftp_listing::ParseListing(m_listingBuffer);
        m_listingBuffer.clear();
        if (!m_currentDirectoryFiles) {
            m_lastFtpError = {16002, "Unknown listing format.",
                              "CFtpClient.m_objDataSocket_OnClose"};
            raiseCompletion(FtpOperation::EnumFiles, arStatusError);
        } else {
            raiseCompletion(FtpOperation::EnumFiles, arStatusOk);
        }
    }
}

void CFtpClient::CloseLocalFile() {
    m_file.reset();
    m_remoteFile.clear();
    m_localFile.clear();
    m_overwrite = false;
    m_truncatePending = false;
    m_bytesReceived = m_bytesSent = m_fileLength = m_startPosition = 0;
    m_piece.clear();
}

void CFtpClient::CloseDataConnection() {
    // Closed outright, both directions: the transfer is being given up.
    routine("CloseDataConnection", [&] {
        while (m_objDataSocket.SocketHandle() != -1)
            m_objDataSocket.CloseSocket();
    });
}

} // namespace vellumite
