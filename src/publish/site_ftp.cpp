// Reading a site's FTP settings, applying them to a client, and the certificate question.
#include "publish/site_ftp.h"

#include "net/ftp_address.h"
#include "net/socket_support.h"
#include "platform/tls.h"
#include "store/ftp_location.h"
#include "store/readers.h"
#include "store/site_rows.h"
#include "store/trusted_certificates.h"

#include <stdexcept>

namespace vellumite {

namespace {

// The server a trusted certificate is kept for: "host:port" ("[address]:port" for IPv6), or
// empty when the setting cannot be read (the run says so before it connects).
std::string trustedServerName(const SiteFtp& site) {
    try {
        const FtpServerAddress server = parseFtpServerAddress(site.location);
        const bool ipv6 = server.host.find(':') != std::string::npos;
        return (ipv6 ? "[" + server.host + "]" : server.host) + ":" + std::to_string(server.port);
    } catch (const std::invalid_argument&) {
        return {};
    }
}

std::string describe(const platform::tls::Certificate& certificate) {
    std::string text = "Its SHA-256 fingerprint is\n" + certificate.fingerprint;
    if (!certificate.subject.empty())
        text += "\nIssued to: " + certificate.subject;
    if (!certificate.issuer.empty())
        text += "\nIssued by: " + certificate.issuer;
    return text;
}

std::string trustQuestion(const SiteFtp& site, const platform::tls::Certificate& certificate) {
    const std::string server = trustedServerName(site);
    if (!site.trustedFingerprints.empty())
        return "Warning: the certificate of the FTP server " + server +
               " is not the one you chose to trust for this site. A server may get a new "
               "certificate, but this is also what you would see if someone were between you "
               "and your server. Ask your hosting provider before you trust it.\n\nThe new "
               "certificate: " +
               describe(certificate) + "\n\nTrust the new certificate for this site?";
    return "No certificate authority known to this computer vouches for the certificate of the "
           "FTP server " +
           server +
           ". Hosts often make their own. Trust it only if it is your server's own: your "
           "hosting provider can tell you its fingerprint.\n\n" +
           describe(certificate) + "\n\nTrust this certificate for this site?";
}

} // namespace

SiteFtp readSiteFtp(platform::Database& db, std::int32_t logId,
                    const std::filesystem::path& appFolder) {
    auto row = openSiteRow(db, logId, "ftplocation, ftpusername, ftppassword, ftppath, ftppassive");
    SiteFtp site;
    site.logId = logId;
    const FtpLocation location = readFtpLocation(readText(row["ftplocation"]));
    site.location = location.server;
    site.tls = location.tls;
    site.user = readText(row["ftpusername"]);
    site.password = readText(row["ftppassword"]);
    site.path = readText(row["ftppath"]);
    site.passive = row["ftppassive"].toBool();
    const std::string server = trustedServerName(site);
    if (site.tls && !server.empty()) {
        // A kept answer that is no fingerprint (a file edited by hand) trusts nothing.
        const std::string kept = TrustedCertificates(appFolder).fingerprint(logId, server);
        if (!platform::tls::normaliseFingerprint(kept).empty())
            site.trustedFingerprints.push_back(kept);
    }
    return site;
}

std::optional<std::string> configureClient(CFtpClient& client, const SiteFtp& site,
                                           std::int16_t timeoutSeconds) {
    FtpServerAddress server;
    try {
        server = parseFtpServerAddress(site.location);
    } catch (const std::invalid_argument& e) {
        return std::string("The FTP server setting cannot be used: ") + e.what() + ".";
    }
    client.setFtpServer(server.host);
    client.setRemotePort(server.port);
    client.setUseTls(site.tls);
    client.setCaFile(site.caFile);
    client.setTrustedFingerprints(site.trustedFingerprints);
    client.setUserName(site.user);
    client.setPassword(site.password);
    // The setting the user chose is the one used: passive is what passes NAT and firewalls.
    client.setPassiveMode(site.passive);
    client.setTimeOut(timeoutSeconds);
    client.setSendBufferLenght(8192);
    return std::nullopt;
}

bool failedOnUntrustedCertificate(const CFtpClient& client) {
    return client.UseTls() && client.LastFtpError().Number == MSocketSupport::err::TlsUntrusted &&
           !client.ServerCertificate().fingerprint.empty();
}

std::string untrustedCertificateMessage(const SiteFtp& site,
                                        const platform::tls::Certificate& certificate) {
    const std::string server = trustedServerName(site);
    if (!site.trustedFingerprints.empty())
        return "The certificate of the FTP server " + server +
               " is not the one trusted for this site: it has changed, or someone is between "
               "you and the server. Nothing was sent. The new certificate's SHA-256 "
               "fingerprint is " +
               certificate.fingerprint + ".";
    return "The certificate of the FTP server " + server +
           " is not trusted: no certificate authority known to this computer vouches for it. "
           "Nothing was sent. Its SHA-256 fingerprint is " +
           certificate.fingerprint + ".";
}

bool askToTrustCertificate(AppState& app, SiteFtp& site, CFtpClient& client) {
    if (!failedOnUntrustedCertificate(client))
        return false;
    const platform::tls::Certificate certificate = client.ServerCertificate();
    const char* title =
        site.trustedFingerprints.empty() ? kUntrustedCertificateTitle : kChangedCertificateTitle;
    if (app.host.msgBox(trustQuestion(site, certificate), title, platform::MsgButtons::YesNo) !=
        platform::MsgResult::Yes)
        return false;
    TrustedCertificates(app.appFolder)
        .trust(site.logId, trustedServerName(site), certificate.fingerprint);
    // The answer replaces the one kept before: the old certificate is trusted no more.
    site.trustedFingerprints = {certificate.fingerprint};
    client.setTrustedFingerprints(site.trustedFingerprints);
    return true;
}

} // namespace vellumite
