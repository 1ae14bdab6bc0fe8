// `vellumite ftp`: drives CFtpClient one operation at a time on an event loop of its own.
#include "net/ftp_command.h"

#include "net/ftp_address.h"
#include "net/ftp_client.h"
#include "net/socket_support.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text.h"

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <ostream>
#include <stdexcept>

namespace vellumite {

namespace {

using Clock = std::chrono::steady_clock;

std::string percentDecode(const std::string& text) {
    auto decoded = platform::percentDecode(text);
    if (!decoded)
        throw std::invalid_argument("bad percent escape in \"" + text + "\"");
    return *decoded;
}

// The length of the UTF-8 sequence at `text`, or 0 when it is not a valid one. Overlong forms
// and surrogates are refused, so nothing decodes to a control character unseen.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    // U+0080 to U+009F are control characters too.
    if (lead == 0xC2 && byte(1) <= 0x9F)
        return 0;
    return length;
}

// Prints each line of a reply on its own, after `prefix`.
void printLines(std::ostream& out, const std::string& prefix, const std::string& text) {
    for (const auto& line : platform::files::splitLines(text))
        out << prefix << printable(line) << "\n";
}

// A failure to report: the client's error number and text.
struct CommandError {
    std::int32_t number;
    std::string text;
};

class Session {
public:
    Session(const FtpCommandOptions& options, std::ostream& err) : m_options(options), m_err(err) {
        auto done = [this](AsyncResultStatus status) { m_status = status; };
        m_client.OnConnect = m_client.OnCreateDirectory = m_client.OnDeleteFile = done;
        m_client.OnGetCurrentDirectory = m_client.OnSetCurrentDirectory = done;
        m_client.OnRemoveDirectory = m_client.OnRenameFile = m_client.OnDownloadFile = done;
        m_client.OnUploadFile = m_client.OnEnumFiles = m_client.OnQuitSession = done;
        m_client.OnQuote = done;
        m_client.SessionProtocolMessage = [this](const std::string& text, std::int32_t type) {
            if (!m_options.verbose)
                return;
            breakProgressLine();
            printProtocolMessage(m_err, text, type);
        };
        m_client.OnWaitChange = [this](FtpWait from, FtpWait to) {
            if (!m_options.verbose)
                return;
            breakProgressLine();
            m_err << "[" << to_string(from) << "] -> [" << to_string(to) << "]\n";
        };
        m_client.OnTlsEstablished = [this](const std::string& description) {
            if (!m_options.verbose)
                return;
            breakProgressLine();
            m_err << "[TLS] " << description << "\n";
        };
        m_client.OnDataTransferProgress = [this](std::int64_t bytes) { showProgress(bytes); };
        m_client.setPassiveMode(options.passive);
        m_client.setTimeOut(static_cast<std::int16_t>(options.timeoutSeconds));
        m_client.setSendBufferLenght(8192);
    }

    CFtpClient& client() { return m_client; }

    // Starts one operation and waits for its completion; a failure becomes CommandError.
    void run(const std::function<void()>& start) {
        m_status.reset();
        try {
            start();
        } catch (const platform::NumberedError& e) {
            throw CommandError{e.number(), e.description()};
        }
        m_loop.runUntil([&] { return m_status.has_value(); });
        endProgress();
        switch (*m_status) {
        case arStatusOk:
            return;
        case arStatusTimeOut:
            m_client.CancelAsyncMethod();
            throw CommandError{10060, "no answer from the server within " +
                                          std::to_string(m_options.timeoutSeconds) +
                                          (m_options.timeoutSeconds == 1 ? " second" : " seconds")};
        default: {
            const CFtpError& e = m_client.LastFtpError();
            std::string text = e.Description;
            std::string reply = m_client.LastServerResponse();
            while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
                reply.pop_back();
            if (e.Number > 16000 && e.Number < 17000 && !reply.empty())
                text += " (the server said: " + reply + ")";
            if (e.Number == MSocketSupport::err::TlsUntrusted)
                text += untrustedAdvice();
            throw CommandError{e.Number, text};
        }
        }
    }

    // Progress is shown for file transfers only, with their size when it is known.
    void showTransfer(std::int64_t total) {
        m_showProgress = true;
        m_total = total;
    }

    void quit() {
        try {
            run([&] { m_client.QuitSession(); });
        } catch (const CommandError&) {
            // The work is done; a server that will not say goodbye changes nothing.
        }
    }

private:
    // What the user can do about a certificate no one vouches for.
    std::string untrustedAdvice() const {
        const std::string& fingerprint = m_client.ServerCertificate().fingerprint;
        if (!m_options.trustedFingerprints.empty())
            return " It is not the certificate given with --trust-fingerprint: the server's "
                   "certificate has changed, or someone is between you and the server.";
        return " " + untrustedCertificateAdvice(fingerprint);
    }

    void showProgress(std::int64_t bytes) {
        if (!m_options.progress || !m_showProgress)
            return;
        m_lastBytes = bytes;
        const auto now = Clock::now();
        if (m_shown && now - m_lastShown < std::chrono::milliseconds(100) && bytes != m_total)
            return;
        m_lastShown = now;
        m_shown = true;
        m_err << "\r" << bytes << " bytes";
        if (m_total > 0)
            m_err << " of " << m_total << " (" << (bytes * 100 / m_total) << "%)";
        m_err << std::flush;
    }
    // The progress line is rewritten in place; other output starts below it.
    void breakProgressLine() {
        if (m_shown)
            m_err << "\n";
        m_shown = false;
    }
    void endProgress() {
        if (m_shown) {
            m_err << "\r" << m_lastBytes << " bytes";
            if (m_total > 0)
                m_err << " of " << m_total << " (" << (m_lastBytes * 100 / m_total) << "%)";
            m_err << "\n";
        }
        m_shown = false;
        m_total = 0;
    }

    const FtpCommandOptions& m_options;
    std::ostream& m_err;
    platform::EventLoop m_loop;
    CFtpClient m_client{m_loop};
    std::optional<AsyncResultStatus> m_status;
    std::int64_t m_total = 0, m_lastBytes = 0;
    bool m_showProgress = false, m_shown = false;
    Clock::time_point m_lastShown;
};

void printListing(const CFtpFiles& files, std::ostream& out) {
    for (const auto& entry : files) {
        const CFtpFile& f = *entry.item;
        out << std::left << std::setw(11) << f.Permissions << " " << std::setw(8) << f.Owner << " "
            << std::setw(8) << f.Group << " " << std::right << std::setw(12) << f.FileSize << " "
            << to_string(f.LastWriteTime).substr(0, 16) << " " << printable(f.FileName);
        if (!f.FilePath.empty())
            out << " -> " << printable(f.FilePath);
        out << "\n";
    }
}

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

std::string printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        std::size_t length = 1;
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c >= 0x80 && (length = utf8Length(text)) > 0) {
            out.append(text.substr(0, length));
        } else {
            length = 1;
            out.append("\\x").append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string untrustedCertificateAdvice(const std::string& fingerprint) {
    return "If you have made sure that this is your server's certificate, run again with "
           "--trust-fingerprint " +
           fingerprint + ", or name the authority that signed it with --ca-file.";
}

void printProtocolMessage(std::ostream& out, const std::string& message, std::int32_t messageType) {
    const bool password = messageType == 0 && message.rfind("PASS ", 0) == 0;
    printLines(out, messageType == 0 ? "> " : "< ", password ? "PASS ****" : message);
}

FtpUrl parseFtpUrl(const std::string& url) {
    FtpUrl result;
    std::string scheme = platform::asciiLower(url.substr(0, url.find("://") + 3));
    if (scheme == "ftps://")
        throw std::invalid_argument("implicit TLS (ftps://) is not supported; use ftpes:// for FTP "
                                    "over explicit TLS");
    if (scheme != "ftp://" && scheme != "ftpes://")
        throw std::invalid_argument("the address must start with ftp:// or ftpes:// (got \"" + url +
                                    "\")");
    result.tls = scheme == "ftpes://";
    std::string rest = url.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    result.path = slash == std::string::npos ? "" : percentDecode(rest.substr(slash));
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const std::size_t colon = userInfo.find(':');
        result.user = percentDecode(userInfo.substr(0, colon));
        if (colon != std::string::npos)
            result.password = percentDecode(userInfo.substr(colon + 1));
    }
    if (authority.empty())
        throw std::invalid_argument("no host in " + url);
    const FtpServerAddress server = parseFtpServerAddress(authority);
    result.host = server.host;
    result.port = server.port;
    return result;
}

int runFtpCommand(const std::string& action, const FtpUrl& url, const std::string& argument,
                  const FtpCommandOptions& options, std::ostream& out, std::ostream& err) {
    Session session(options, err);
    CFtpClient& client = session.client();
    try {
        try {
            client.setFtpServer(url.host);
            client.setRemotePort(url.port);
            client.setUserName(url.user);
            client.setPassword(url.password);
            client.setUseTls(url.tls);
            client.setCaFile(options.caFile);
            client.setTrustedFingerprints(options.trustedFingerprints);
        } catch (const platform::NumberedError& e) {
            throw CommandError{e.number(), e.description()};
        }
        session.run([&] { client.Connect(); });
        if (action == "ls") {
            if (!url.path.empty() && url.path != "/")
                session.run([&] { client.SetCurrentDirectory(url.path); });
            session.run([&] { client.EnumFiles(); });
            printListing(*client.CurrentDirectoryFiles(), out);
        } else if (action == "put") {
            std::string remote = url.path;
            if (remote.empty() || remote.back() == '/')
                remote += baseName(argument);
            std::error_code ec;
            const auto size = std::filesystem::file_size(argument, ec);
            session.showTransfer(ec ? 0 : static_cast<std::int64_t>(size));
            session.run([&] { client.UploadFile(argument, remote, 0); });
        } else if (action == "get") {
            const std::string local = argument.empty() ? baseName(url.path) : argument;
            session.showTransfer(0);
            session.run([&] { client.DownloadFile(url.path, local, true); });
        } else if (action == "mkdir") {
            session.run([&] { client.CreateDirectory(url.path); });
        } else if (action == "rm") {
            session.run([&] { client.DeleteFile(url.path); });
        } else if (action == "quote") {
            session.run([&] { client.Quote(argument); });
            printLines(out, "", client.LastServerResponse());
        } else {
            err << "vellumite: unknown ftp action \"" << action
                << "\" (use ls, put, get, mkdir, rm or quote)\n";
            return 1;
        }
        session.quit();
        return 0;
    } catch (const CommandError& e) {
        err << "vellumite: error " << e.number << ": " << printable(e.text) << "\n";
        return 1;
    }
}

} // namespace vellumite
