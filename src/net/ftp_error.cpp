// How CFtpClient fails: the texts of reply errors, file errors, and the paths that end an
// operation with arStatusError.
#include "net/ftp_error.h"

#include "net/ftp_client.h"

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace vellumite {

namespace ftp_detail {

CFtpError replyError(int code) {
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
    return {16000 + code, it == texts.end() ? std::string() : it->second, kReplySource};
}

platform::NumberedError invalidArgument(const std::string& method) {
    return platform::NumberedError(5, "Invalid procedure call or argument", "CFtpClient." + method);
}

bool unsafeInCommand(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

void raiseFileError(const char* verb, const std::string& path, const char* source) {
    const int error = errno;
    int number;
    switch (error) {
    case ENOENT:
        number = 53; // File not found
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = 70; // Permission denied
        break;
    case ENOSPC:
        number = 61; // Disk full
        break;
    case EISDIR:
    case ENOTDIR:
        number = 75; // Path/File access error
        break;
    default:
        number = 57; // Device I/O error
    }
    throw platform::NumberedError(
        number, std::string("cannot ") + verb + " " + path + ": " + std::strerror(error), source);
}

} // namespace ftp_detail

// ---- the client's failure paths --------------------------------------------------------------

void CFtpClient::RaiseFtpError(int code, bool closeControl) {
    failOperation(ftp_detail::replyError(code), m_operation, closeControl);
}

void CFtpClient::failOperation(const CFtpError& error, FtpOperation operation, bool closeControl) {
    if (m_operation != FtpOperation::None)
        EndOperation();
    // A failed connect leaves no half-open session behind.
    closeAfterFailure(operation, closeControl || operation == FtpOperation::Connect);
    if (m_objControlSocket.State() != SocketState::Connected &&
        m_objControlSocket.State() != SocketState::Closing)
        setState(FtpState::NotConnected);
    m_lastFtpError = error;
    raiseCompletion(operation, arStatusError);
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

// A server that refuses a transfer often drops the data connection before its refusal
// arrives; the refusal is what the user needs to see, so the connection's error waits for the
// reply to the transfer command, or for the time-out, before it is reported.
void CFtpClient::dataConnectionFailed(const CFtpError& error) {
    if (!DataTransferInProgress())
        return; // a connection given up already
    const bool allSent = m_link == DataLink::Sent;
    closeAfterFailure(m_operation, false);
    if (allSent)
        return; // every byte went out: the server's reply says how it ended
    if (m_wait == FtpWait::Retr || m_wait == FtpWait::Stor || m_wait == FtpWait::List) {
        if (!m_heldDataError)
            m_heldDataError = error;
        return;
    }
    failOperation(error, m_operation);
}

bool CFtpClient::reportHeldDataError() {
    if (!m_heldDataError)
        return false;
    const CFtpError held = *m_heldDataError; // ending the operation clears it
    failOperation(held, m_operation);
    return true;
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

} // namespace vellumite
