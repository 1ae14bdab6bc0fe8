// Uploads to pyftpdlib on loopback with CFtpClient, lftp and curl, side by side in one run:
// 1,000 files of 5 KB, then one file of 50 MB.
#include "../support/uploads.h"
#include "net/ftp_client.h"

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

using bench::kPassword;
using bench::kUser;
using bench::lftpMirror;
using bench::median;
using bench::timed;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vellumite::AsyncResultStatus;

constexpr int kSmallFiles = 1000;
constexpr std::size_t kSmallSize = 5 * 1024;
constexpr std::size_t kLargeSize = 50 * 1024 * 1024;

// CFtpClient: one connection, the next upload started from the previous one's OnUploadFile.
double vellumiteUpload(int port, const std::vector<fs::path>& files, const std::string& folder) {
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
    client.setRemotePort(port);
    client.setUserName(kUser);
    client.setPassword(kPassword);
    client.setPassiveMode(true);
    client.setSendBufferLenght(8192);
    run([&] { client.Connect(); });
    run([&] { client.CreateDirectory(folder); });
    run([&] { client.SetCurrentDirectory(folder); });
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

double lftpPut(int port, const fs::path& file, const std::string& folder) {
    return timed({"lftp", "-u", std::string(kUser) + "," + kPassword, "-p", std::to_string(port),
                  "-e",
                  "set ftp:passive-mode on; set net:max-retries 1; mkdir -p /" + folder + "; put " +
                      file.string() + " -o /" + folder + "/; quit",
                  "127.0.0.1"});
}

double curlUpload(int port, const std::vector<fs::path>& files, const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::path& file : files)
        names.push_back(file.string());
    return bench::curlUpload(port, names, folder);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    char pattern[] = "/tmp/vellumite-ftp-bench-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    try {
        const fs::path root = work / "root", smallDir = work / "small";
        fs::create_directories(root);
        fs::create_directories(smallDir);
        std::vector<fs::path> small;
        std::string content(kSmallSize, 'x');
        for (int i = 0; i < kSmallFiles; ++i) {
            content[0] = static_cast<char>('a' + i % 26);
            small.push_back(smallDir / ("file" + std::to_string(i) + ".html"));
            std::ofstream(small.back(), std::ios::binary) << content;
        }
        const fs::path large = work / "large.bin";
        {
            std::ofstream out(large, std::ios::binary);
            std::string block(1024 * 1024, 'L');
            for (std::size_t i = 0; i < kLargeSize / block.size(); ++i)
                out << block;
        }
        bench::PyFtpd server(root, work);

        std::vector<double> vSmall, lSmall, cSmall, vLarge, lLarge, cLarge;
        for (int r = 0; r < runs; ++r) { // alternated, so all see the same machine load
            const std::string n = std::to_string(r);
            vSmall.push_back(vellumiteUpload(server.port, small, "v-small" + n));
            lSmall.push_back(lftpMirror(server.port, smallDir, "l-small" + n));
            cSmall.push_back(curlUpload(server.port, small, "c-small" + n));
            vLarge.push_back(vellumiteUpload(server.port, {large}, "v-large" + n));
            lLarge.push_back(lftpPut(server.port, large, "l-large" + n));
            cLarge.push_back(curlUpload(server.port, {large}, "c-large" + n));
            for (const char* folder : {"v-large", "l-large", "c-large"})
                if (fs::file_size(root / (folder + n) / "large.bin") != kLargeSize)
                    throw std::runtime_error(std::string("incomplete upload in ") + folder);
            for (const char* folder : {"v-small", "l-small", "c-small"})
                if (std::distance(fs::directory_iterator(root / (folder + n)), {}) != kSmallFiles)
                    throw std::runtime_error(std::string("missing files in ") + folder);
            fs::remove_all(root);
            fs::create_directories(root);
        }
        const double mb = kLargeSize / (1024.0 * 1024.0);
        const double vs = kSmallFiles / median(vSmall), ls = kSmallFiles / median(lSmall),
                     cs = kSmallFiles / median(cSmall);
        const double vl = mb / median(vLarge), ll = mb / median(lLarge), cl = mb / median(cLarge);
        std::printf("uploads to pyftpdlib on 127.0.0.1, passive mode, median of %d runs\n", runs);
        std::printf("%-34s %14s %10s\n", "", "1000 x 5 KB", "50 MB");
        std::printf("%-34s %9.0f f/s %6.0f MB/s\n", "vellumite CFtpClient (1 connection)", vs, vl);
        std::printf("%-34s %9.0f f/s %6.0f MB/s\n", "lftp mirror -R (1 connection)", ls, ll);
        std::printf("%-34s %9.0f f/s %6.0f MB/s\n", "curl -T, one process", cs, cl);
        std::printf("small files: vellumite / lftp = %.2f (target >= 1.00)\n", vs / ls);
        std::printf("large file:  vellumite / curl = %.2f (target >= 0.80)\n", vl / cl);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_ftp: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
