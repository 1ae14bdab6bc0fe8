// CFtpClient's transfers: the replies that lead to a data connection, the data connection
// itself, and the local file of a download or upload.
#include "net/events.h"
#include "net/ftp_client.h"
#include "net/socket_support.h"
#include "platform/error.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <sys/stat.h>

namespace vellumite {

using ftp_detail::routine;

namespace {

// Listening ports tried for one PORT command before giving up.
constexpr int kPortAttempts = 100;

// The size of the file at `path`; 0 when there is none, or a folder stands there.
std::int64_t existingFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return 0;
    return info.st_size;
}

bool isPreliminary(int code) {
    return code == 110 || code == 125 || code == 150;
}

bool isTransferDone(int code) {
    return code == 226 || code == 250;
}

} // namespace

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

// ---- the replies of a transfer ---------------------------------------------------------------

void CFtpClient::onType(int code) {
    if (code != 200)
        return RaiseFtpError(code);
    if (m_passiveMode)
        SendFtpCommand("PASV", "", FtpWait::Pasv);
    else
        SendPORTCommand();
}

void CFtpClient::onPasv(const FtpReply& reply) {
    if (reply.code != 227)
        return RaiseFtpError(reply.code);
    EstablishPasvDataConnection(reply);
}

void CFtpClient::onPort(int code) {
    if (code != 200)
        return RaiseFtpError(code);
    startTransferCommand();
}

void CFtpClient::onRest(int code) {
    if (code != 350)
        return RaiseFtpError(code);
    sendTransferCommand();
}

// RETR and LIST: done when the server has confirmed and the data connection has closed, in
// whichever order they come, so that an aborted transfer is never reported as complete.
void CFtpClient::onTransferReply(int code) {
    transferAnswered(code);
    if (isPreliminary(code) || !transferConfirmed(code))
        return;
    if (m_link == DataLink::Ended)
        return finishTransfer();
    setWait(FtpWait::DataEnd);
}

bool CFtpClient::transferConfirmed(int code) {
    if (!isTransferDone(code)) {
        RaiseFtpError(code);
        return false;
    }
    return !reportHeldDataError();
}

void CFtpClient::onStor(int code) {
    transferAnswered(code);
    if (isPreliminary(code)) {
        // In active mode the server may connect before or after this reply.
        if (m_link == DataLink::Open)
            startUpload();
        return;
    }
    if (!transferConfirmed(code))
        return;
    EndOperation();
    CloseLocalFile();
    raiseCompletion(FtpOperation::UploadFile, arStatusOk);
}

// ---- the data connection ---------------------------------------------------------------------

void CFtpClient::SendPORTCommand() {
    setState(FtpState::OpeningDataConnection);
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
    m_link = DataLink::Listening;
    m_dataSecured = m_transferAnswered = false;
    std::string argument = localIP;
    std::replace(argument.begin(), argument.end(), '.', ',');
    argument += "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
    SendFtpCommand("PORT", argument, FtpWait::Port);
}

void CFtpClient::EstablishPasvDataConnection(const FtpReply& reply) {
    setState(FtpState::OpeningDataConnection);
    auto address = ParsePasvReply(reply.text);
    if (!address)
        throw platform::NumberedError(16003,
                                      "Cannot open the data connection: the passive mode reply "
                                      "names no usable address.",
                                      "CFtpClient.EstablishPasvDataConnection");
    // The data connection goes to the host the control connection reached, whatever address
    // the reply names: servers behind NAT name their private one, and a reply naming another
    // host must not send our data there.
    if (!m_objControlSocket.RemoteHostIP().empty())
        address->host = m_objControlSocket.RemoteHostIP();
    routine("EstablishPasvDataConnection", [&] {
        while (m_objDataSocket.SocketHandle() != -1)
            m_objDataSocket.CloseSocket();
        m_objDataSocket.Connect(address->host, address->port);
    });
    m_link = DataLink::Connecting;
    m_dataSecured = m_transferAnswered = false;
    setWait(FtpWait::DataConnect);
}

void CFtpClient::onDataConnect() {
    if (m_link != DataLink::Connecting)
        return;
    m_link = DataLink::Open;
    startTransferCommand();
}

// A data connection's handshake waits for the server's answer to the transfer command:
// servers take it up only then, and some drop a data connection that speaks before its
// command has come.
void CFtpClient::transferAnswered(int code) {
    if (code >= 400)
        return; // a refusal: the data connection is about to be closed
    m_transferAnswered = true;
    if (m_link == DataLink::Open)
        secureDataConnection();
}

// The data connection goes to the control connection's peer: it resumes a TLS session of that
// peer (servers may insist, to know the two belong together), and a certificate trusted for
// the control connection is trusted here.
void CFtpClient::secureDataConnection() {
    if (!m_useTls || m_dataSecured)
        return;
    m_dataSecured = true;
    TlsOptions options;
    options.context = m_tlsContext;
    options.peerName = m_ftpServer;
    // Servers may take each session once: the newest one a data connection brought is offered
    // next, the control connection's when there is none.
    options.resume = m_objDataSocket.TlsSession();
    if (!options.resume || options.resume == m_offeredSession)
        options.resume = m_objControlSocket.TlsSession();
    m_offeredSession = options.resume;
    options.trustedFingerprints = m_trustedFingerprints;
    if (const auto& control = m_objControlSocket.TlsPeerCertificate().fingerprint; !control.empty())
        options.trustedFingerprints.push_back(control);
    routine("EstablishDataConnection", [&] { m_objDataSocket.StartTls(std::move(options)); });
}

void CFtpClient::startTransferCommand() {
    switch (m_operation) {
    case FtpOperation::DownloadFile:
        if (!OpenLocalFile())
            sendTransferCommand();
        return;
    case FtpOperation::UploadFile:
        if (!OpenLocalFileForUpload())
            sendTransferCommand();
        return;
    case FtpOperation::EnumFiles:
        m_transferAnswered = false;
        SendFtpCommand("LIST", "", FtpWait::List);
        return;
    default:
        return;
    }
}

void CFtpClient::sendTransferCommand() {
    m_transferAnswered = false;
    if (m_operation == FtpOperation::DownloadFile)
        SendFtpCommand("RETR", m_remoteFile, FtpWait::Retr);
    else
        SendFtpCommand("STOR", m_remoteFile, FtpWait::Stor);
}

void CFtpClient::onDataConnectionRequest(std::int32_t requestId) {
    // Only the server may connect; anything else is left unadopted and closed by the layer.
    if (m_link != DataLink::Listening ||
        MSocketSupport::PeerAddress(requestId) != m_objControlSocket.RemoteHostIP())
        return;
    routine("m_objDataSocket_OnConnectionRequest", [&] {
        m_objDataSocket.CloseSocket(); // the listening socket
        m_objDataSocket.Accept(requestId);
    });
    m_link = DataLink::Open;
    if (m_transferAnswered)
        secureDataConnection();
    if (m_wait == FtpWait::Stor)
        startUpload();
}

void CFtpClient::startUpload() {
    if (m_link != DataLink::Open || m_operation != FtpOperation::UploadFile)
        return;
    if (m_useTls && !m_dataSecured)
        return; // not a byte in the clear: the upload starts once TLS is under way
    m_link = DataLink::Sending;
    m_bytesSent = m_startPosition;
    UploadData();
}

bool CFtpClient::OpenLocalFile() {
    bool restSent = false;
    routine("OpenLocalFile", [&] {
        // Without overwrite an existing file is resumed: the server sends the rest, appended
        // once it has accepted the restart.
        const std::int64_t offset = m_overwrite ? 0 : existingFileSize(m_localFile);
        m_file = offset > 0 ? FtpLocalFile::openForResuming(m_localFile, "CFtpClient.OpenLocalFile")
                            : FtpLocalFile::createBeside(m_localFile, "CFtpClient.OpenLocalFile");
        m_bytesReceived = offset;
        if (offset > 0) {
            SendFtpCommand("REST", std::to_string(offset), FtpWait::Rest);
            restSent = true;
        }
    });
    return restSent;
}

bool CFtpClient::OpenLocalFileForUpload() {
    bool restSent = false;
    routine("OpenLocalFileForUpload", [&] {
        m_bytesSent = m_startPosition;
        m_file = FtpLocalFile::openForReading(m_localFile, "CFtpClient.OpenLocalFileForUpload");
        m_fileLength = m_file->size("CFtpClient.OpenLocalFileForUpload");
        if (m_startPosition > 0) {
            SendFtpCommand("REST", std::to_string(m_startPosition), FtpWait::Rest);
            restSent = true;
        }
    });
    return restSent;
}

void CFtpClient::UploadData() {
    if (m_operation != FtpOperation::UploadFile || !m_file || m_link != DataLink::Sending)
        return;
    routine("UploadData", [&] {
        if (m_bytesSent >= m_fileLength) {
            CloseLocalFile();
            m_link = DataLink::Sent;
            // The server sees the end of the file. A server that refuses the file may have
            // reset the connection already: its reply, not the reset, tells how it ended.
            try {
                m_objDataSocket.CloseSocket();
            } catch (const platform::NumberedError& e) {
                dataConnectionFailed(
                    {e.number(), "CFtpClient.UploadData failed: " + e.description(), e.source()});
            }
            return;
        }
        const auto length = static_cast<std::size_t>(
            std::min<std::int64_t>(m_sendBufferLenght, m_fileLength - m_bytesSent));
        m_piece.resize(length);
        m_file->readAt(m_bytesSent, m_piece.data(), length, "CFtpClient.UploadData");
        m_bytesSent += static_cast<std::int64_t>(length);
        try {
            m_objDataSocket.SendData(std::string_view(m_piece));
        } catch (const platform::NumberedError& e) {
            dataConnectionFailed(
                {e.number(), "CFtpClient.UploadData failed: " + e.description(), e.source()});
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
    if (m_useTls && !m_objDataSocket.TlsActive())
        return; // sent in the clear where TLS was asked for: not the file's data
    if (m_operation == FtpOperation::DownloadFile && m_file) {
        m_objTimeOut.Reset();
        m_file->writeAt(m_bytesReceived, bytes, "CFtpClient.m_objDataSocket_OnDataArrival");
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
    if (m_link == DataLink::Sent || !DataTransferInProgress()) {
        m_link = DataLink::Closed; // an upload's end, or a transfer given up
        return;
    }
    // A download's or listing's data is complete; an upload cut short hears why in the reply.
    m_link = DataLink::Ended;
    if (m_wait == FtpWait::DataEnd)
        finishTransfer();
}

void CFtpClient::finishTransfer() {
    if (m_operation == FtpOperation::DownloadFile) {
        if (m_file)
            m_file->commit("CFtpClient.m_objDataSocket_OnClose");
        EndOperation();
        CloseLocalFile();
        raiseCompletion(FtpOperation::DownloadFile, arStatusOk);
    } else if (m_operation == FtpOperation::EnumFiles) {
        EndOperation();
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
    m_bytesReceived = m_bytesSent = m_fileLength = m_startPosition = 0;
    m_piece.clear();
}

void CFtpClient::CloseDataConnection() {
    m_link = DataLink::Closed;
    // Closed outright, both directions: the transfer is being given up.
    routine("CloseDataConnection", [&] {
        while (m_objDataSocket.SocketHandle() != -1)
            m_objDataSocket.CloseSocket();
    });
}

} // namespace vellumite
