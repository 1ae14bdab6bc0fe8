// The trusted-certificates file: a JSON list of {site, server, fingerprint}.
#include "store/trusted_certificates.h"

#include "platform/files.h"

#include <nlohmann/json.hpp>

namespace vellumite {

namespace {

using nlohmann::json;

json readEntries(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return json::array();
    try {
        json entries = json::parse(platform::files::readFile(file));
        return entries.is_array() ? entries : json::array();
    } catch (const std::exception&) {
        return json::array();
    }
}

// Entries of another shape (a file edited by hand) match nothing and are kept as they are.
bool ofSite(const json& entry, std::int32_t logId) {
    if (!entry.is_object())
        return false;
    const auto site = entry.find("site");
    return site != entry.end() && site->is_number_integer() && site->get<std::int64_t>() == logId;
}

std::string textOf(const json& entry, const char* key) {
    const auto value = entry.find(key);
    return value != entry.end() && value->is_string() ? value->get<std::string>() : std::string();
}

bool matches(const json& entry, std::int32_t logId, const std::string& server) {
    return ofSite(entry, logId) && textOf(entry, "server") == server;
}

void writeEntries(const std::filesystem::path& file, const json& entries) {
    platform::files::writeFileAtomic(file, entries.dump(2) + "\n");
}

} // namespace

TrustedCertificates::TrustedCertificates(std::filesystem::path appFolder)
    : m_file(std::move(appFolder) / kFileName) {}

std::string TrustedCertificates::fingerprint(std::int32_t logId, const std::string& server) const {
    for (const json& entry : readEntries(m_file))
        if (matches(entry, logId, server))
            return textOf(entry, "fingerprint");
    return {};
}

void TrustedCertificates::trust(std::int32_t logId, const std::string& server,
                                const std::string& fingerprint) {
    json entries = json::array();
    for (json& entry : readEntries(m_file))
        if (!matches(entry, logId, server))
            entries.push_back(std::move(entry));
    entries.push_back({{"site", logId}, {"server", server}, {"fingerprint", fingerprint}});
    writeEntries(m_file, entries);
}

void TrustedCertificates::forgetSite(std::int32_t logId) {
    json entries = json::array();
    bool dropped = false;
    for (json& entry : readEntries(m_file)) {
        if (ofSite(entry, logId))
            dropped = true;
        else
            entries.push_back(std::move(entry));
    }
    if (dropped)
        writeEntries(m_file, entries);
}

} // namespace vellumite
