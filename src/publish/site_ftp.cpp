// Reading a site's FTP settings and applying them to a client.
#include "publish/site_ftp.h"

#include "net/ftp_address.h"
#include "store/readers.h"
#include "store/site_rows.h"

namespace vellumite {

SiteFtp readSiteFtp(platform::Database& db, std::int32_t logId) {
    auto row = openSiteRow(db, logId, "ftplocation, ftpusername, ftppassword, ftppath, ftppassive");
    SiteFtp site;
    site.location = readText(row["ftplocation"]);
    site.user = readText(row["ftpusername"]);
    site.password = readText(row["ftppassword"]);
    site.path = readText(row["ftppath"]);
    site.passive = row["ftppassive"].toBool();
    return site;
}

void configureClient(CFtpClient& client, const SiteFtp& site, std::int16_t timeoutSeconds) {
    const FtpServerAddress server = parseFtpServerAddress(site.location);
    client.setFtpServer(server.host);
    client.setRemotePort(server.port);
    client.setUserName(site.user);
    client.setPassword(site.password);
    // The setting the user chose is the one used: passive is what passes NAT and firewalls.
    client.setPassiveMode(site.passive);
    client.setTimeOut(timeoutSeconds);
    client.setSendBufferLenght(8192);
}

} // namespace vellumite
