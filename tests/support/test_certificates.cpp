// Making the test certificates with Debian's openssl command.
#include "support/test_certificates.h"

#include "support/run_program.h"

#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& commandLine) {
    const ProgramRun r = runCommand(commandLine);
    if (r.status != 0)
        throw std::runtime_error("openssl failed: " + commandLine + "\n" + r.output);
    return r.output;
}

// P-256 keys: made in milliseconds, where RSA keys would take the test's time.
const std::string kNewKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

} // namespace

TestCertificates::TestCertificates(const fs::path& folder) : m_folder(folder) {
    run("openssl req -x509 " + kNewKey + " -days 2 -subj '/CN=Vellumite Test CA' -keyout " +
        shellQuoted((folder / "ca.key").string()) + " -out " + shellQuoted(caFile().string()));
    server = make("server", "IP:127.0.0.1,DNS:localhost", true);
    replacement = make("replacement", "IP:127.0.0.1,DNS:localhost", false);
}

TestCertificate TestCertificates::make(const std::string& name, const std::string& altNames,
                                       bool signedByCa) {
    TestCertificate made{m_folder / (name + ".pem"), m_folder / (name + ".key"), {}};
    const std::string key = shellQuoted(made.key.string());
    const std::string certificate = shellQuoted(made.certificate.string());
    const std::string subject = " -subj '/CN=" + name + "' ";
    if (signedByCa) {
        const fs::path request = m_folder / (name + ".csr"),
                       extensions = m_folder / (name + ".ext");
        std::ofstream(extensions) << "subjectAltName=" << altNames << "\n";
        run("openssl req " + kNewKey + subject + "-keyout " + key + " -out " +
            shellQuoted(request.string()));
        run("openssl x509 -req -days 2 -in " + shellQuoted(request.string()) + " -CA " +
            shellQuoted(caFile().string()) + " -CAkey " +
            shellQuoted((m_folder / "ca.key").string()) + " -set_serial " +
            std::to_string(name.size() * 1000 + name[0]) + " -extfile " +
            shellQuoted(extensions.string()) + " -out " + certificate);
    } else {
        run("openssl req -x509 " + kNewKey + " -days 2" + subject +
            "-addext 'subjectAltName=" + altNames + "' -keyout " + key + " -out " + certificate);
    }
    // "sha256 Fingerprint=AB:CD:...", or "SHA256 Fingerprint=" in other versions
    std::string printed = run("openssl x509 -noout -fingerprint -sha256 -in " + certificate);
    made.fingerprint = printed.substr(printed.find('=') + 1);
    while (!made.fingerprint.empty() &&
           std::isspace(static_cast<unsigned char>(made.fingerprint.back())))
        made.fingerprint.pop_back();
    return made;
}

} // namespace testing_support
