// FTP uploads on loopback, side by side in one run: 1,000 files of 5 KB, then one file of
// 50 MB. Plain FTP to pyftpdlib with CFtpClient, lftp and curl; FTP over explicit TLS to
// vsftpd with CFtpClient and curl --ssl-reqd.
#include "../support/uploads.h"
#include "net/ftp_client.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::timed;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing_support::FtpServer;
using vellumite::AsyncResultStatus;

constexpr int kSmallFiles = 1000;
constexpr std::size_t kSmallSize = 5 * 1024;
constexpr std::size_t kLargeSize = 50 * 1024 * 1024;

// Where a tool uploads: the server, its login, and the folder below which it may write.
struct Target {
    const FtpServer& server;
    std::string user, password; // empty: anonymous
    std::string caFile;         // set: FTP over explicit TLS, trusting this authority

    std::string folder(const std::string& name) const { return server.writableRemote() + name; }
    std::string url(const std::string& name) const {
        const std::string login = user.empty() ? "" : user + ":" + password + "@";
        return "ftp://" + login + "127.0.0.1:" + std::to_string(server.port()) + folder(name) + "/";
    }
};

// CFtpClient: one connection, the next upload started from the previous one's OnUploadFile.
double vellumiteUpload(const Target& target, const std::vector<fs::path>& files,
                       const std::string& name) {
    platform::EventLoop loop;
    vellumite::CFtpClient client(loop);
    std::optional<AsyncResultStatus> status;
    auto done = [&](AsyncResultStatus s) { status = s; };
    client.OnConnect = client.OnCreateDirectory = client.OnSetCurrentDirectory = done;
    client.OnQuitSession = done;
    auto run = [&](const std::function<void()>& start) {
        status.reset();
        start();
        loop.runUntil([&] { return status.has_value(); });
        if (*status != vellumite::arStatusOk)
            throw std::runtime_error("CFtpClient failed: " + client.LastFtpError().Description);
    };
    const auto start = Clock::now();
    client.setFtpServer("127.0.0.1");
    client.setRemotePort(target.server.port());
    client.setUserName(target.user);
    client.setPassword(target.password);
    client.setPassiveMode(true);
    client.setSendBufferLenght(8192);
    client.setUseTls(!target.caFile.empty());
    client.setCaFile(target.caFile);
    run([&] { client.Connect(); });
    run([&] { client.CreateDirectory(target.folder(name)); });
    run([&] { client.SetCurrentDirectory(target.folder(name)); });
    std::size_t next = 0;
    bool failed = false;
    client.OnUploadFile = [&](AsyncResultStatus s) {
        if (s != vellumite::arStatusOk) {
            failed = true;
            return;
        }
        if (next < files.size()) {
            const fs::path& f = files[next++];
            client.UploadFile(f.string(), f.filename().string(), 0);
        }
    };
    const fs::path& first = files[next++];
    client.UploadFile(first.string(), first.filename().string(), 0);
    loop.runUntil([&] { return failed || (next == files.size() && !client.Busy()); });
    if (failed)
        throw std::runtime_error("CFtpClient upload failed: " + client.LastFtpError().Description);
    run([&] { client.QuitSession(); });
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> lftp(const Target& target, const std::string& commands) {
    return {"lftp",
            "-u",
            target.user + "," + target.password,
            "-p",
            std::to_string(target.server.port()),
            "-e",
            "set ftp:passive-mode on; set net:max-retries 1; " + commands + "; quit",
            "127.0.0.1"};
}

double lftpMirror(const Target& target, const fs::path& dir, const std::string& name) {
    return timed(lftp(target, "mirror -R --no-perms --parallel=1 " + dir.string() + " " +
                                  target.folder(name)));
}

double lftpPut(const Target& target, const fs::path& file, const std::string& name) {
    return timed(lftp(target, "mkdir -p " + target.folder(name) + "; put " + file.string() +
                                  " -o " + target.folder(name) + "/"));
}

// One process: curl reuses its control connection for every file.
double curlUpload(const Target& target, const std::vector<fs::path>& files,
                  const std::string& name) {
    std::string list = "{";
    for (std::size_t i = 0; i < files.size(); ++i)
        list += (i ? "," : "") + files[i].string();
    list += "}";
    std::vector<std::string> args = {"curl", "-s", "--ftp-create-dirs", "--ftp-pasv"};
    if (!target.caFile.empty())
        args.insert(args.end(), {"--ssl-reqd", "--cacert", target.caFile});
    args.insert(args.end(), {"-T", list, target.url(name)});
    return timed(args);
}

// Each tool's median seconds for both workloads, measured alternately so that all see the
// same machine load; every upload is checked and then removed.
struct Tool {
    const char* label;
    const char* prefix;
    std::function<double(const std::vector<fs::path>& files, const fs::path& dir,
                         const std::string& name)>
        upload;
    std::vector<double> small = {}, large = {};
};

void measure(std::vector<Tool>& tools, const Target& target, int runs,
             const std::vector<fs::path>& small, const fs::path& smallDir, const fs::path& large) {
    const fs::path root = target.server.writableFolder();
    for (int r = 0; r < runs; ++r) {
        const std::string n = std::to_string(r);
        for (Tool& tool : tools) {
            const std::string smallName = tool.prefix + std::string("-small") + n;
            const std::string largeName = tool.prefix + std::string("-large") + n;
            tool.small.push_back(tool.upload(small, smallDir, smallName));
            tool.large.push_back(tool.upload({large}, large.parent_path(), largeName));
            if (std::distance(fs::directory_iterator(root / smallName), {}) != kSmallFiles)
                throw std::runtime_error(std::string("missing files from ") + tool.label);
            if (fs::file_size(root / largeName / "large.bin") != kLargeSize)
                throw std::runtime_error(std::string("incomplete upload from ") + tool.label);
            fs::remove_all(root / smallName);
            fs::remove_all(root / largeName);
        }
    }
}

void report(const std::vector<Tool>& tools, const char* title, int runs) {
    const double mb = kLargeSize / (1024.0 * 1024.0);
    std::printf("%s, passive mode, median of %d runs\n", title, runs);
    std::printf("%-36s %14s %10s\n", "", "1000 x 5 KB", "50 MB");
    for (const Tool& tool : tools)
        std::printf("%-36s %9.0f f/s %6.0f MB/s\n", tool.label, kSmallFiles / median(tool.small),
                    mb / median(tool.large));
}

double ratio(const Tool& a, const Tool& b, bool large) {
    return large ? median(b.large) / median(a.large) : median(b.small) / median(a.small);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    try {
        testing_support::TempDir work, plainDir, tlsDir, certificateDir;
        const fs::path smallDir = work / "small";
        fs::create_directories(smallDir);
        std::vector<fs::path> small;
        std::string content(kSmallSize, 'x');
        for (int i = 0; i < kSmallFiles; ++i) {
            content[0] = static_cast<char>('a' + i % 26);
            small.push_back(smallDir / ("file" + std::to_string(i) + ".html"));
            std::ofstream(small.back(), std::ios::binary) << content;
        }
        const fs::path large = work / "large" / "large.bin";
        fs::create_directories(large.parent_path());
        {
            std::ofstream out(large, std::ios::binary);
            std::string block(1024 * 1024, 'L');
            for (std::size_t i = 0; i < kLargeSize / block.size(); ++i)
                out << block;
        }

        FtpServer pyftpdlib(FtpServer::Kind::PyFtpdLib, plainDir.path());
        const Target plain{pyftpdlib, FtpServer::kUser, FtpServer::kPassword, ""};
        std::vector<Tool> plainTools = {
            {"vellumite CFtpClient (1 connection)", "v",
             [&](const auto& files, const auto&, const auto& name) {
                 return vellumiteUpload(plain, files, name);
             }},
            {"lftp mirror -R (1 connection)", "l",
             [&](const auto& files, const auto& dir, const auto& name) {
                 return files.size() == 1 ? lftpPut(plain, files[0], name)
                                          : lftpMirror(plain, dir, name);
             }},
            {"curl -T, one process", "c",
             [&](const auto& files, const auto&, const auto& name) {
                 return curlUpload(plain, files, name);
             }},
        };
        measure(plainTools, plain, runs, small, smallDir, large);
        report(plainTools, "plain FTP uploads to pyftpdlib on 127.0.0.1", runs);
        std::printf("small files: vellumite / lftp = %.2f (target >= 1.00)\n",
                    ratio(plainTools[0], plainTools[1], false));
        std::printf("large file:  vellumite / curl = %.2f (target >= 0.80)\n\n",
                    ratio(plainTools[0], plainTools[2], true));

        // vsftpd: written in C, so that the server's own speed limits the clients least. It
        // takes data connections that do not resume the control connection's session here:
        // curl's often do not, and with the rule on it silently leaves files out.
        const testing_support::TestCertificates certificates(certificateDir.path());
        FtpServer vsftpd(FtpServer::Kind::Vsftpd, tlsDir.path(), &certificates.server,
                         /*requireTlsReuse=*/false);
        const Target secured{vsftpd, "", "", certificates.caFile().string()};
        std::vector<Tool> tlsTools = {
            {"vellumite CFtpClient (1 connection)", "v",
             [&](const auto& files, const auto&, const auto& name) {
                 return vellumiteUpload(secured, files, name);
             }},
            {"curl --ssl-reqd -T, one process", "c",
             [&](const auto& files, const auto&, const auto& name) {
                 return curlUpload(secured, files, name);
             }},
        };
        measure(tlsTools, secured, runs, small, smallDir, large);
        report(tlsTools, "FTP over explicit TLS (AUTH TLS, PROT P) to vsftpd on 127.0.0.1", runs);
        std::printf("small files: vellumite / curl = %.2f (target >= 0.80)\n",
                    ratio(tlsTools[0], tlsTools[1], false));
        std::printf("large file:  vellumite / curl = %.2f (target >= 0.80)\n",
                    ratio(tlsTools[0], tlsTools[1], true));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_ftp: %s\n", e.what());
        return 1;
    }
    return 0;
}
