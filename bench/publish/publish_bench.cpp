// `vellumite publish` of a 1,000-post site to pyftpdlib on loopback, against lftp and curl
// uploading the same generated folder, side by side in one run; then how many files
// `--changed-only` sends after one post is edited.
#include "../support/uploads.h"
#include "platform/database.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::timed;
namespace fs = std::filesystem;

constexpr int kPosts = 1000;
constexpr int kPerPage = 5;
constexpr int kCategories = 20;
const char* const kUser = bench::kUser;
const char* const kPassword = bench::kPassword;

// The sample app folder's site, refilled with 1,000 posts of about 1.5 KB over 20 categories.
void makeSite(const fs::path& app, int port) {
    timed({VELLUMITE_BINARY, "--data-dir", app.string(), "sites"});
    auto db = platform::Database::open((app / "vellumite.db").string());
    db.execute("DELETE FROM VellumitePosts");
    db.execute("DELETE FROM VellumiteCategory");
    for (int c = 1; c <= kCategories; ++c)
        db.execute("INSERT INTO VellumiteCategory (categoryID, LogID, categoryname) "
                   "VALUES (?, 1, ?)",
                   {c, "Category " + std::to_string(c)});
    std::mt19937 rng(7);
    const char* words[] = {"leaf", "water", "kettle", "steep", "cup", "aroma", "green", "oolong"};
    db.execute("BEGIN");
    for (int i = 0; i < kPosts; ++i) {
        std::string body;
        while (body.size() < 1450) {
            body += "<p>";
            for (int w = 0; w < 24; ++w)
                body += std::string(words[rng() % std::size(words)]) + " ";
            body += "<a href=\"http://tea.example/\">more</a>.</p>\n";
        }
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2020 + i / 240, 1 + (i / 20) % 12,
                      1 + i % 20);
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage, boolDisplayInViewRecent, categoryID) VALUES "
                   "(1, ?, 'Bench', ?, ?, '12:00:00', 1, ?, ?)",
                   {"Post " + std::to_string(i), body, std::string(date), i % 50 == 0,
                    1 + i % kCategories});
    }
    db.execute("COMMIT");
    db.execute("UPDATE VellumiteLog SET postperpage=?, TotalPublishPosts=?, ftplocation=?, "
               "ftpusername=?, ftppassword=?, ftppath='', ftppassive=-1",
               {kPerPage, kPosts, "127.0.0.1:" + std::to_string(port), kUser, kPassword});
}

std::vector<std::string> generatedFiles(const fs::path& output) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(output))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void setFolder(const fs::path& app, const std::string& folder) {
    platform::Database::open((app / "vellumite.db").string())
        .execute("UPDATE VellumiteLog SET ftppath=?", {folder});
}

// The command line of a publish run (the web service is nobody: its request fails at once).
std::vector<std::string> publish(const fs::path& app, const std::vector<std::string>& more = {}) {
    std::vector<std::string> argv = {
        VELLUMITE_BINARY, "--data-dir",    app.string(),        "publish", "1",
        "--online",       "--service-url", "http://127.0.0.1:1"};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

void checkArrived(const fs::path& output, const fs::path& remote,
                  const std::vector<std::string>& files) {
    for (const std::string& name : files)
        if (!fs::exists(remote / name) ||
            fs::file_size(remote / name) != fs::file_size(output / name))
            throw std::runtime_error("incomplete upload of " + name + " in " + remote.string());
}

int countUploaded(const fs::path& printed) {
    std::ifstream in(printed);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.rfind("uploaded ", 0) == 0;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char pattern[] = "/tmp/vellumite-publish-bench-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    try {
        const fs::path root = work / "root", app = work / "app", output = app / "html/output";
        fs::create_directories(root);
        bench::PyFtpd server(root, work);
        makeSite(app, server.port);
        timed(publish(app, {"--dry-run"}), work / "dry.txt");
        const std::vector<std::string> files = generatedFiles(output);

        std::vector<double> v, g, l, c;
        for (int r = 0; r < runs; ++r) { // alternated, so all see the same machine load
            const std::string n = std::to_string(r);
            for (const char* folder : {"v", "l", "c"})
                fs::create_directories(root / (folder + n));
            setFolder(app, "/v" + n);
            v.push_back(timed(publish(app), work / "v.txt"));
            g.push_back(timed(publish(app, {"--dry-run"}), work / "dry.txt"));
            l.push_back(bench::lftpMirror(server.port, output, "l" + n));
            c.push_back(bench::curlUpload(server.port, files, "c" + n, output));
            for (const char* folder : {"v", "l", "c"})
                checkArrived(output, root / (folder + n), files);
        }

        // One post edited: what a changed-only run then sends to the folder of the last run.
        platform::Database::open((app / "vellumite.db").string())
            .execute("UPDATE VellumitePosts SET posttext=posttext || '<p>edited</p>' "
                     "WHERE posttitle='Post 500'");
        timed(publish(app, {"--changed-only"}), work / "changed.txt");
        const int changed = countUploaded(work / "changed.txt");

        std::uintmax_t bytes = 0;
        for (const std::string& name : files)
            bytes += fs::file_size(output / name);
        const double count = static_cast<double>(files.size());
        const double vf = count / median(v), lf = count / median(l), cf = count / median(c);
        std::printf("publish of a %d-post site (%zu pages, %.1f MB) to pyftpdlib on 127.0.0.1, "
                    "passive, one connection each, median of %d runs\n",
                    kPosts, files.size(), static_cast<double>(bytes) / 1e6, runs);
        std::printf("%-52s %8.0f files/s  (%.2f s)\n", "vellumite publish (generate, hash, upload)",
                    vf, median(v));
        std::printf("%-52s %8.0f files/s  (%.2f s)\n", "lftp mirror -R (upload only)", lf,
                    median(l));
        std::printf("%-52s %8.0f files/s  (%.2f s)\n", "curl -T, one connection (upload only)", cf,
                    median(c));
        std::printf("vellumite / lftp = %.2f, vellumite / curl = %.2f (target >= 1.00 each)\n",
                    vf / lf, vf / cf);
        // The same run without its generation: what the uploads alone took, beside the tools
        // that only upload.
        const double uploads = count / (median(v) - median(g));
        std::printf("generation alone (--dry-run): %.2f s; the uploads of the run alone: %.0f "
                    "files/s, / lftp = %.2f, / curl = %.2f\n",
                    median(g), uploads, uploads / lf, uploads / cf);
        std::printf("SHA-256 for --changed-only: libcrypto's EVP_sha256 (Debian libssl-dev), one "
                    "digest per generated file\n");
        std::printf("--changed-only after one edited post: %d of %zu files sent\n", changed,
                    files.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_publish: %s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
