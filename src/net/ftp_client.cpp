// CFtpClient's control session: properties, methods, and the reply machine that waits for one
// reply at a time. Transfers are in ftp_transfer.cpp, failures in ftp_error.cpp.
#include "net/ftp_client.h"

#include "net/events.h"
#include "net/socket_support.h"
#include "platform/error.h"

#include <iterator>
#include <utility>

namespace vellumite {

using ftp_detail::invalidArgument;
using ftp_detail::routine;
using ftp_detail::unsafeInCommand;

namespace {

// The password of an anonymous login, by custom an e-mail address.
constexpr const char* kAnonymousPassword = "anonymous@example.com";

void requireName(const char* method, const std::string& name) {
    if (name.empty() || unsafeInCommand(name))
        throw invalidArgument(method);
}

// A local path: anything the file system takes, but not empty and without NUL.
void requireLocalName(const char* method, const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw invalidArgument(method);
}

// FtpSessionState while `wait` is awaited: what owners have always been shown.
FtpState sessionStateFor(FtpWait wait, FtpOperation operation) {
    switch (wait) {
    case FtpWait::Auth:
    case FtpWait::TlsHandshake:
    case FtpWait::User:
    case FtpWait::Pass:
        return FtpState::LoggingIn;
    case FtpWait::Pbsz:
    case FtpWait::Prot:
        return FtpState::LoggedIn;
    case FtpWait::Cwd:
        return FtpState::ChangingDirectory;
    case FtpWait::Dele:
        return FtpState::DeletingFile;
    case FtpWait::Rmd:
        return FtpState::RemovingDirectory;
    case FtpWait::Mkd:
        return FtpState::CreatingDirectory;
    case FtpWait::Rnfr:
        return FtpState::Renaming;
    case FtpWait::List:
    case FtpWait::Pwd:
        return FtpState::Listing;
    case FtpWait::Retr:
        return FtpState::Downloading;
    case FtpWait::Stor:
        return FtpState::Uploading;
    case FtpWait::Quit:
        return FtpState::Quitting;
    case FtpWait::Type:
    case FtpWait::Pasv:
    case FtpWait::Port:
    case FtpWait::Rest:
        return operation == FtpOperation::DownloadFile ? FtpState::Downloading
               : operation == FtpOperation::UploadFile ? FtpState::Uploading
               : operation == FtpOperation::EnumFiles  ? FtpState::Listing
                                                       : FtpState::Ready;
    default:
        return FtpState::Ready; // RNTO and typed commands
    }
}

// "TLSv1.3, TLS_AES_256_GCM_SHA384, certificate trusted by the system"
std::string describeTls(const CSocket& socket) {
    std::string text = socket.TlsVersion() + ", " + socket.TlsCipher();
    if (socket.TlsResumed())
        text += ", session resumed";
    else
        text += socket.TlsVerified() ? ", certificate trusted by the system"
                                     : ", certificate trusted by its fingerprint";
    return text;
}

} // namespace

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

const char* to_string(FtpWait wait) {
    // In the order of FtpWait.
    static constexpr const char* kNames[] = {
        "IDLE", "GREETING", "AUTH",     "TLS HANDSHAKE", "USER",  "PASS", "PBSZ",
        "PROT", "PWD",      "CWD",      "MKD",           "RMD",   "DELE", "RNFR",
        "RNTO", "TYPE",     "PASV",     "DATA CONNECT",  "PORT",  "REST", "RETR",
        "STOR", "LIST",     "DATA END", "QUIT",          "QUOTE",
    };
    static_assert(std::size(kNames) == static_cast<std::size_t>(FtpWait::Quote) + 1);
    return kNames[static_cast<std::size_t>(wait)];
}

// ---- construction and properties -------------------------------------------------------------

CFtpClient::CFtpClient(platform::EventLoop& loop)
    : m_loop(loop), m_objControlSocket(loop), m_objDataSocket(loop), m_objTimeOut(loop) {
    m_objTimeOut.setTimeOutValue(m_timeOut);
    m_objTimeOut.TimeOut = [this] { onTimeOut(); };

    m_objControlSocket.OnConnect = [this] {
        guarded("m_objControlSocket_OnConnect", [this] {
            m_objTimeOut.Reset();
            setState(FtpState::AwaitingGreeting); // nothing is sent before the greeting
        });
    };
    m_objControlSocket.OnDataArrival = [this](std::int32_t) { onControlData(); };
    m_objControlSocket.OnTlsConnect = [this] {
        guarded("m_objControlSocket_OnTlsConnect", [this] { onControlSecured(); });
    };
    m_objControlSocket.OnClose = [this] {
        onControlLost(
            {16008, "The connection is not established.", "CFtpClient.m_objControlSocket_OnClose"});
    };
    m_objControlSocket.OnError = [this](std::int16_t number, const std::string& description,
                                        std::int32_t, const std::string&, const std::string&,
                                        std::int32_t, bool&) {
        onControlLost({number, description, "CFtpClient.m_objControlSocket_OnError"});
    };

    m_objDataSocket.OnConnect = [this] {
        guarded("m_objDataSocket_OnConnect", [this] { onDataConnect(); });
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
    m_objDataSocket.OnTlsConnect = [this] {
        fire(OnTlsEstablished, "data connection: " + describeTls(m_objDataSocket));
    };
    m_objDataSocket.OnClose = [this] {
        guarded("m_objDataSocket_OnClose", [this] { onDataClose(); });
    };
    m_objDataSocket.OnError = [this](std::int16_t number, const std::string& description,
                                     std::int32_t, const std::string& source, const std::string&,
                                     std::int32_t, bool&) {
        dataConnectionFailed({number, description, source});
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
        throw platform::NumberedError(380, "Invalid property value.",
                                      "CFtpClient.SendBufferLenght");
    m_sendBufferLenght = length;
}

void CFtpClient::setTrustedFingerprints(const std::vector<std::string>& fingerprints) {
    std::vector<std::string> normalised;
    for (const auto& text : fingerprints) {
        std::string fingerprint = platform::tls::normaliseFingerprint(text);
        if (fingerprint.empty())
            throw platform::NumberedError(380, "Invalid property value.",
                                          "CFtpClient.TrustedFingerprints");
        normalised.push_back(std::move(fingerprint));
    }
    m_trustedFingerprints = std::move(normalised);
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

void CFtpClient::setWait(FtpWait next) {
    const FtpWait from = std::exchange(m_wait, next);
    if (from != next)
        fire(OnWaitChange, from, next);
}

void CFtpClient::requireIdle(const char* method) const {
    if (m_operation != FtpOperation::None)
        throw platform::NumberedError(
            16007,
            std::string("Cannot execute the ") + method +
                " method. Waiting fot the server response on the previous command.",
            std::string("CFtpClient.") + method);
}

void CFtpClient::startOperation(FtpOperation operation, const std::function<void()>& firstStep) {
    m_lastFtpError = CFtpError{};
    m_heldDataError.reset();
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
    m_heldDataError.reset();
    setWait(FtpWait::Idle);
    const SocketState control = m_objControlSocket.State();
    setState(control == SocketState::Closed || control == SocketState::Error
                 ? FtpState::NotConnected
                 : FtpState::Ready);
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
    m_tlsContext.reset();
    // A session of an earlier login is not offered to this one.
    m_offeredSession = m_objDataSocket.TlsSession();
    if (m_useTls) {
        try {
            m_tlsContext = platform::tls::Context::client(m_caFile);
        } catch (const std::exception& e) {
            throw platform::NumberedError(MSocketSupport::err::TlsFailed,
                                          std::string("The secure connection failed: ") + e.what() +
                                              ".",
                                          "CFtpClient.Connect");
        }
    }
    // A session still open is given up: Connect always starts a fresh one.
    while (m_objControlSocket.SocketHandle() != -1)
        m_objControlSocket.CloseSocket();
    m_replies.clear();
    m_received.clear();
    setWait(FtpWait::Idle);
    m_lastFtpError = CFtpError{};
    m_heldDataError.reset();
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
    setWait(FtpWait::Greeting);
}

void CFtpClient::startNamedCommand(const char* method, FtpOperation operation, const char* verb,
                                   FtpWait awaits, const std::string& name) {
    requireIdle(method);
    requireName(method, name);
    startOperation(operation, [&] { SendFtpCommand(verb, name, awaits); });
}

void CFtpClient::SetCurrentDirectory(const std::string& path) {
    startNamedCommand("SetCurrentDirectory", FtpOperation::SetCurrentDirectory, "CWD", FtpWait::Cwd,
                      path);
}

void CFtpClient::GetCurrentDirectory() {
    requireIdle("GetCurrentDirectory");
    startOperation(FtpOperation::GetCurrentDirectory,
                   [&] { SendFtpCommand("PWD", "", FtpWait::Pwd); });
}

void CFtpClient::CreateDirectory(const std::string& path) {
    startNamedCommand("CreateDirectory", FtpOperation::CreateDirectory, "MKD", FtpWait::Mkd, path);
}

void CFtpClient::RemoveDirectory(const std::string& path) {
    startNamedCommand("RemoveDirectory", FtpOperation::RemoveDirectory, "RMD", FtpWait::Rmd, path);
}

void CFtpClient::DeleteFile(const std::string& remoteFile) {
    startNamedCommand("DeleteFile", FtpOperation::DeleteFile, "DELE", FtpWait::Dele, remoteFile);
}

void CFtpClient::RenameFile(const std::string& oldName, const std::string& newName) {
    requireIdle("RenameFile");
    requireName("RenameFile", oldName);
    requireName("RenameFile", newName);
    m_newName = newName;
    startOperation(FtpOperation::RenameFile,
                   [&] { SendFtpCommand("RNFR", oldName, FtpWait::Rnfr); });
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
                   [&] { SendFtpCommand("TYPE", m_transferMode == 0 ? "A" : "I", FtpWait::Type); });
}

void CFtpClient::EnumFiles() {
    requireIdle("EnumFiles");
    m_listingBuffer.clear();
    startOperation(FtpOperation::EnumFiles, [&] { SendFtpCommand("TYPE", "A", FtpWait::Type); });
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
                   [&] { SendFtpCommand("TYPE", m_transferMode == 0 ? "A" : "I", FtpWait::Type); });
}

void CFtpClient::QuitSession() {
    requireIdle("QuitSession");
    startOperation(FtpOperation::QuitSession, [&] { SendFtpCommand("QUIT", "", FtpWait::Quit); });
}

void CFtpClient::Quote(const std::string& commandLine) {
    requireIdle("Quote");
    requireName("Quote", commandLine);
    const std::size_t space = commandLine.find(' ');
    const std::string verb = commandLine.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : commandLine.substr(space + 1);
    startOperation(FtpOperation::Quote, [&] { SendFtpCommand(verb, argument, FtpWait::Quote); });
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

void CFtpClient::SendFtpCommand(const std::string& verb, const std::string& argument,
                                FtpWait awaits) {
    if (m_objControlSocket.State() != SocketState::Connected)
        throw platform::NumberedError(16008, "The connection is not established.",
                                      "CFtpClient.SendFtpCommand");
    if (unsafeInCommand(verb) || unsafeInCommand(argument))
        throw invalidArgument("SendFtpCommand");
    const std::string line = argument.empty() ? verb + "\r\n" : verb + " " + argument + "\r\n";
    routine("SendFtpCommand", [&] { m_objControlSocket.SendData(line); });
    ++m_commandsSent;
    fire(SessionProtocolMessage, verb + " " + argument, std::int32_t{0});
    setState(sessionStateFor(awaits, m_operation));
    setWait(awaits);
}

void CFtpClient::onControlData() {
    m_replies.feed(m_objControlSocket.GetData());
    while (auto reply = m_replies.next())
        m_received.push_back({std::move(*reply), m_commandsSent});
    // Taken one at a time from the member queue: a handler may pump the loop, and a nested
    // arrival must not overtake replies that came before it. A reply whose handler failed
    // does not hold up the ones after it.
    while (!m_received.empty()) {
        ReceivedReply received = std::move(m_received.front());
        m_received.pop_front();
        guarded("m_objControlSocket_OnDataArrival", [&] { onReply(received); });
    }
}

void CFtpClient::onReply(const ReceivedReply& received) {
    const FtpReply& reply = received.reply;
    // A whole reply is progress; bytes that make none are not.
    if (m_operation != FtpOperation::None)
        m_objTimeOut.Reset();
    m_lastServerResponse = reply.text;
    if (reply.message.size() > 2)
        m_ftpServerMessage = reply.message.substr(0, reply.message.size() - 2);
    std::string shown = reply.text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    fire(SessionProtocolMessage, shown, std::int32_t{reply.code < 400 ? 1 : 2});
    if (received.commandsSent != m_commandsSent)
        onUnsolicited(reply.code);
    else
        dispatchReply(reply);
}

// The reply table: one handler per awaited reply.
void CFtpClient::dispatchReply(const FtpReply& reply) {
    const int code = reply.code;
    if (code == 421)
        return onClosingNotice();
    switch (m_wait) {
    case FtpWait::Idle:
    case FtpWait::DataConnect:
    case FtpWait::DataEnd:
        return onUnsolicited(code);
    case FtpWait::Greeting:
        return onGreeting(code);
    case FtpWait::Auth:
        return onAuth(code);
    case FtpWait::TlsHandshake: // nothing the server says counts before the handshake
        return onUnsolicited(code);
    case FtpWait::User:
        return onUser(code);
    case FtpWait::Pass:
        return onPass(code);
    case FtpWait::Pbsz:
        return onPbsz(code);
    case FtpWait::Prot:
        return onProt(code);
    case FtpWait::Pwd:
        return onPwd(reply);
    case FtpWait::Cwd:
    case FtpWait::Rmd:
    case FtpWait::Dele:
    case FtpWait::Rnto:
        return onCommandDone(code, 250);
    case FtpWait::Mkd:
        return onCommandDone(code, 257);
    case FtpWait::Rnfr:
        return onRnfr(code);
    case FtpWait::Type:
        return onType(code);
    case FtpWait::Pasv:
        return onPasv(reply);
    case FtpWait::Port:
        return onPort(code);
    case FtpWait::Rest:
        return onRest(code);
    case FtpWait::Retr:
    case FtpWait::List:
        return onTransferReply(code);
    case FtpWait::Stor:
        return onStor(code);
    case FtpWait::Quit:
        return onQuit(code);
    case FtpWait::Quote:
        return onQuote(code);
    }
}

// A reply to no command out: only a closing notice matters.
void CFtpClient::onUnsolicited(int code) {
    if (code == 421)
        onClosingNotice();
}

void CFtpClient::onClosingNotice() {
    if (m_wait == FtpWait::DataEnd) {
        closeControlSocket(); // the data connection still finishes the transfer
        return;
    }
    if (m_operation == FtpOperation::None)
        return CloseControlConnection();
    RaiseFtpError(421, /*closeControl=*/true);
}

void CFtpClient::onGreeting(int code) {
    if (code != 220)
        return RaiseFtpError(code, /*closeControl=*/true);
    if (m_useTls)
        SendFtpCommand("AUTH", "TLS", FtpWait::Auth);
    else
        SendFtpCommand("USER", m_userName, FtpWait::User);
}

// Without TLS there is no going on: the user name and password would follow in the clear.
void CFtpClient::onAuth(int code) {
    if (code != 234)
        return failOperation({kNoTlsError,
                              "The server does not offer FTP over TLS (it refused AUTH TLS); "
                              "nothing was sent in the clear.",
                              "CFtpClient.Connect"},
                             m_operation, /*closeControl=*/true);
    // Replies read before the handshake came in the clear and must not be acted on.
    m_replies.clear();
    m_received.clear();
    TlsOptions options;
    options.context = m_tlsContext;
    options.peerName = m_ftpServer;
    options.trustedFingerprints = m_trustedFingerprints;
    routine("Connect", [&] { m_objControlSocket.StartTls(std::move(options)); });
    setWait(FtpWait::TlsHandshake);
}

void CFtpClient::onControlSecured() {
    if (m_wait != FtpWait::TlsHandshake)
        return;
    fire(OnTlsEstablished, "control connection: " + describeTls(m_objControlSocket));
    SendFtpCommand("USER", m_userName, FtpWait::User);
}

void CFtpClient::onPbsz(int code) {
    if (code != 200)
        return RaiseFtpError(code, /*closeControl=*/true);
    SendFtpCommand("PROT", "P", FtpWait::Prot);
}

void CFtpClient::onProt(int code) {
    if (code != 200)
        return failOperation({16011,
                              "The server does not encrypt data connections (it refused PROT P).",
                              "CFtpClient.Connect"},
                             m_operation, /*closeControl=*/true);
    SendFtpCommand("PWD", "", FtpWait::Pwd);
}

void CFtpClient::onUser(int code) {
    if (code == 230)
        return loginAccepted();
    if (code != 331)
        return RaiseFtpError(code, /*closeControl=*/true);
    SendFtpCommand("PASS", m_password, FtpWait::Pass);
}

void CFtpClient::onPass(int code) {
    if (code != 230 && code != 202)
        return RaiseFtpError(code, /*closeControl=*/true);
    loginAccepted();
}

void CFtpClient::loginAccepted() {
    setState(FtpState::LoggedIn);
    if (m_useTls)
        SendFtpCommand("PBSZ", "0", FtpWait::Pbsz);
    else
        SendFtpCommand("PWD", "", FtpWait::Pwd);
}

// PWD ends a login as well as GetCurrentDirectory; a login that cannot learn its folder fails.
void CFtpClient::onPwd(const FtpReply& reply) {
    const FtpOperation operation = m_operation;
    const bool login = operation == FtpOperation::Connect;
    if (reply.code != 257)
        return RaiseFtpError(reply.code, /*closeControl=*/login);
    m_currentDirectory.clear();
    if (auto path = ParsePwdReply(reply.text)) {
        m_currentDirectory = *path;
        EndOperation();
        return raiseCompletion(operation, arStatusOk);
    }
    failOperation({16001, "Cannot retrieve the current directory path. Unexpected server response.",
                   "CFtpClient.GetDirFromResponse"},
                  operation, /*closeControl=*/login);
}

void CFtpClient::onCommandDone(int code, int okCode) {
    if (code != okCode)
        return RaiseFtpError(code);
    const FtpOperation operation = m_operation;
    EndOperation();
    raiseCompletion(operation, arStatusOk);
}

void CFtpClient::onRnfr(int code) {
    if (code != 350)
        return RaiseFtpError(code);
    SendFtpCommand("RNTO", m_newName, FtpWait::Rnto);
}

void CFtpClient::onQuit(int code) {
    if (code != 221)
        return RaiseFtpError(code);
    EndOperation();
    routine("QuitSession", [&] { m_objControlSocket.CloseSocket(); });
    raiseCompletion(FtpOperation::QuitSession, arStatusOk);
}

void CFtpClient::onQuote(int code) {
    if (code < 200)
        return; // a preliminary reply; the final one follows
    if (code >= 400)
        return RaiseFtpError(code);
    EndOperation();
    raiseCompletion(FtpOperation::Quote, arStatusOk);
}

void CFtpClient::onTimeOut() {
    if (m_operation == FtpOperation::None)
        return;
    // A data connection that failed with no reply to explain it: that failure is the answer.
    if (reportHeldDataError())
        return;
    // The operation stays current: the owner decides whether to wait on or cancel.
    raiseCompletion(m_operation, arStatusTimeOut);
}

void CFtpClient::onControlLost(const CFtpError& error) {
    const FtpOperation operation = m_operation;
    // A transfer the server confirmed ends with its data connection, session or not.
    if (operation != FtpOperation::None && m_wait == FtpWait::DataEnd)
        return;
    if (operation == FtpOperation::None) {
        setWait(FtpWait::Idle);
        setState(FtpState::NotConnected);
        return;
    }
    EndOperation();
    // A quit has what it asked for; every other operation would otherwise wait for a
    // completion that never comes.
    if (operation == FtpOperation::QuitSession)
        return raiseCompletion(operation, arStatusOk);
    failOperation(error, operation);
}

void CFtpClient::CloseControlConnection() {
    if (m_operation != FtpOperation::None)
        EndOperation();
    closeControlSocket();
}

void CFtpClient::closeControlSocket() {
    if (m_objControlSocket.State() != SocketState::Closed)
        routine("CloseControlConnection", [&] { m_objControlSocket.CloseSocket(); });
    if (m_objControlSocket.SocketHandle() == -1)
        setState(FtpState::NotConnected);
}

} // namespace vellumite
