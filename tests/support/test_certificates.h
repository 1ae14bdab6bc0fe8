// Certificates made for one test run by the openssl command line: a certificate authority and
// server certificates for 127.0.0.1, with their SHA-256 fingerprints as openssl prints them.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

struct TestCertificate {
    std::filesystem::path certificate, key; // PEM files
    std::string fingerprint;                // "AB:CD:..."
};

// Made in `folder`, which the caller removes (the private keys live only there).
class TestCertificates {
public:
    explicit TestCertificates(const std::filesystem::path& folder);

    std::filesystem::path caFile() const { return m_folder / "ca.pem"; }
    // For 127.0.0.1 and localhost, signed by the authority.
    TestCertificate server;
    // For the same names but self-signed: the server's certificate after a change.
    TestCertificate replacement;

private:
    TestCertificate make(const std::string& name, const std::string& altNames, bool signedByCa);
    std::filesystem::path m_folder;
};

} // namespace testing_support
