// `vellumite publish`: drives a PublishRun on its own loop and prints what it does.
#include "publish/publish_command.h"

#include "net/ftp_command.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>

namespace vellumite {

namespace {

// "1 file", "2 files".
std::string countOf(std::uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

using Clock = std::chrono::steady_clock;

// "12.3 KB/s" and the like.
std::string rateText(double bytesPerSecond) {
    const char* units[] = {"B/s", "KB/s", "MB/s", "GB/s"};
    int unit = 0;
    while (bytesPerSecond >= 1024 && unit < 3) {
        bytesPerSecond /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", bytesPerSecond, units[unit]);
    return text;
}

class Printer {
public:
    Printer(PublishRun& run, const PublishCommandOptions& options, std::ostream& out,
            std::ostream& err)
        : m_run(run), m_options(options), m_out(out), m_err(err) {}

    void attach() {
        m_run.OnChange = [this] { changed(); };
        m_run.OnFileUploaded = [this](const UploadItem& item) { uploaded(item); };
        if (!m_options.verbose)
            return;
        m_run.client().SessionProtocolMessage = [this](const std::string& text, std::int32_t type) {
            clearLine();
            printProtocolMessage(m_err, text, type);
        };
        m_run.client().OnTlsEstablished = [this](const std::string& description) {
            clearLine();
            m_err << "[TLS] " << description << "\n";
        };
    }

    void listFiles() {
        for (const UploadItem& item : m_run.files())
            m_out << item.size << "  " << item.name << "\n";
        summary(m_out, "to send");
    }

    void finished() {
        clearLine();
        const PublishEnd& end = m_run.end();
        if (end.outcome != PublishOutcome::Succeeded) {
            // The message may quote the server: printed so that it cannot drive the terminal.
            m_err << "vellumite: " << printable(end.message) << "\n";
            if (!end.detail.empty())
                m_err << "vellumite: " << printable(end.detail) << "\n";
            if (!end.untrustedFingerprint.empty())
                m_err << "vellumite: " << untrustedCertificateAdvice(end.untrustedFingerprint)
                      << "\n";
            return;
        }
        if (m_run.files().empty()) {
            m_out << "Nothing to upload: every file is as it was last uploaded ("
                  << countOf(m_run.unchangedCount(), "file") << ").\n";
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - m_started).count();
        summary(m_out, "uploaded");
        m_out << "Published in " << std::fixed;
        m_out.precision(1);
        m_out << seconds << " s.\n";
    }

private:
    void summary(std::ostream& out, const char* what) {
        out << countOf(m_run.files().size(), "file") << ", " << countOf(m_run.totalBytes(), "byte")
            << " " << what;
        if (m_options.run.changedOnly)
            out << " (" << m_run.unchangedCount() << " unchanged since the last upload)";
        out << "\n";
    }

    void changed() {
        const std::string& status = m_run.view().status;
        if (m_options.verbose && status != m_lastStatus) {
            clearLine();
            m_err << status << "\n";
        }
        m_lastStatus = status;
        if (m_options.progressLine && m_run.currentNumber() > 0)
            progress();
    }

    void progress() {
        const auto now = Clock::now();
        if (m_shown && now - m_lastShown < std::chrono::milliseconds(100))
            return;
        m_lastShown = now;
        const std::size_t number = m_run.currentNumber();
        const UploadItem& item = m_run.files()[number - 1];
        const std::uint64_t sent = m_run.completedBytes();
        const double seconds = std::chrono::duration<double>(now - m_started).count();
        const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0;
        m_err << "\r\033[K"
              << "file " << number << " of " << m_run.files().size() << "  " << item.name << "  "
              << m_run.currentBytes() << "/" << item.size << " bytes  " << rateText(rate)
              << "  total " << sent << " of " << m_run.totalBytes() << " bytes" << std::flush;
        m_shown = true;
    }

    void uploaded(const UploadItem& item) {
        if (m_options.progressLine)
            return;
        m_out << "uploaded " << m_run.uploadedCount() << "/" << m_run.files().size() << " "
              << item.name << " (" << item.size << " bytes)\n";
    }

    void clearLine() {
        if (m_shown)
            m_err << "\r\033[K" << std::flush;
        m_shown = false;
    }

    PublishRun& m_run;
    const PublishCommandOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_lastStatus;
    bool m_shown = false;
    Clock::time_point m_started = Clock::now(), m_lastShown;
};

} // namespace

int runPublishCommand(platform::Database db, std::int32_t logId, SitePagesFactory pages,
                      const PublishCommandOptions& options, std::ostream& out, std::ostream& err) {
    platform::EventLoop loop;
    PublishRun run(loop, std::move(db), logId, std::move(pages), options.run);
    Printer printer(run, options, out, err);
    printer.attach();
    bool ended = false;
    run.OnEnd = [&](const PublishEnd&) { ended = true; };
    run.start();
    loop.runUntil([&] { return ended; });
    if (run.end().outcome == PublishOutcome::Succeeded && options.run.dryRun)
        printer.listFiles();
    else
        printer.finished();
    // The registration goes on beside the uploads; it is given a little longer to be answered.
    if (run.exchangeBusy())
        loop.runUntil([&] { return !run.exchangeBusy(); }, options.exchangeWait);
    return run.end().outcome == PublishOutcome::Succeeded ? 0 : 1;
}

} // namespace vellumite
