// Builds the current-posts page and the content edit page of a site of 10,000 posts and prints
// the median time per build, beside a build that reads the published posts the way the list's
// statement names them (every row, every column) and then steps to the set.
//
//   bench_editor [POSTS] [RUNS]
#include "core/fill_engine.h"
#include "editor/content_edit.h"
#include "editor/current_posts.h"
#include "editor/post_entries.h"
#include "editor/side_lists.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "store/app_folder.h"
#include "store/databases.h"
#include "store/readers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;
using namespace vellumite;

namespace {

// A host that answers nothing and shows nothing: the benchmark measures building pages.
class NullHost : public platform::Host {
public:
    NullHost() : Host({kPanes.begin(), kPanes.end()}) {}
    void setCaption(std::string) override {}
    std::string caption() const override { return {}; }
    platform::MsgResult msgBox(std::string_view text, std::string_view,
                               platform::MsgButtons) override {
        std::cerr << "message: " << text << "\n";
        std::exit(1);
    }
    std::optional<std::string> inputBox(std::string_view, std::string_view,
                                        std::string_view) override {
        return std::nullopt;
    }
    std::optional<fs::path> openFileDialog(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void openWindow(const std::string&, const std::string&) override {}
    std::string previewAddress(std::string_view) const override { return {}; }
    void navigate(const platform::DocPath&, const std::string&) override {}
    std::string location(const platform::DocPath&) const override { return {}; }
    void setPaneOrder(const std::string&, bool) override {}
    bool busy(const std::string&) const override { return false; }
    bool waitUntilNotBusy(const std::string&, std::optional<std::chrono::milliseconds>) override {
        return true;
    }
    nlohmann::json dom(const platform::DocPath&, std::string_view, nlohmann::json, bool) override {
        return nullptr;
    }

protected:
    void formChanged(platform::Form&, const nlohmann::json&) override {}
    void formUnloaded(const std::string&) override {}

private:
    static constexpr std::array<const char*, 2> kPanes = {"webFrontpage", "webContent"};
};

std::string bodyFor(std::mt19937& rng) {
    static const char* const words[] = {"leaf",  "water", "kettle", "steep",   "cup",     "aroma",
                                        "green", "black", "garden", "harvest", "morning", "warm"};
    std::string body;
    while (body.size() < 1450) {
        body += "<p>";
        for (int w = 0; w < 24; ++w)
            body += std::string(words[rng() % std::size(words)]) + " ";
        body += "</p><br>\r";
    }
    return body;
}

// The site: `posts` published posts a minute apart, every one on the front page, one in a hundred
// picked as a highlight, 50 drafts and 20 links.
std::int32_t makeSite(platform::Database& db, int posts) {
    db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle, TotalPublishPosts, "
               "PublishBackwards, numberthispage, PublishedPages) "
               "VALUES ('Bench', 'Bench', 'Bench', ?, 0, 0, 1)",
               {posts});
    auto logId =
        static_cast<std::int32_t>(*db.scalar("SELECT max(LogID) FROM VellumiteLog").integer());
    std::mt19937 rng(7);
    db.execute("BEGIN");
    for (int i = 0; i < posts + 50; ++i) {
        int minute = i;
        char date[16], time[16];
        std::snprintf(date, sizeof date, "20%02d-%02d-%02d", 10 + minute / 525600 % 80,
                      1 + minute / 43200 % 12, 1 + minute / 1440 % 28);
        std::snprintf(time, sizeof time, "%02d:%02d:00", minute / 60 % 24, minute % 60);
        bool draft = i >= posts;
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage, boolDisplayInViewRecent, Category) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   {logId, "Post number " + std::to_string(i), "by the bench", bodyFor(rng),
                    std::string(date), std::string(time), draft ? 0 : 1 + i / 21, i % 5 == 0,
                    i % 3 == 0 ? platform::Value("Tea") : platform::Value()});
    }
    for (int i = 0; i < 20; ++i)
        db.execute("INSERT INTO VellumiteLinks (LogID, linktext, linkurl) VALUES (?, ?, ?)",
                   {logId, "Link " + std::to_string(i), "http://example.org/" + std::to_string(i)});
    db.execute("COMMIT");
    return logId;
}

// The current-posts set as the list's statement reads it: every published post with every
// column, newest first, then a walk to the set's rows.
void buildReadingEveryRow(AppState& app, std::int32_t set) {
    auto site = app.db().openRecordset("SELECT * FROM VellumiteLog WHERE LogID=?", {app.logId});
    const std::int32_t total = readInt(site["TotalPublishPosts"]);
    auto rows =
        app.db().openRecordset("SELECT * FROM VellumitePosts WHERE LogID=? AND PublishPage>0 "
                               "ORDER BY postdate DESC, posttime DESC",
                               {app.logId});
    rows.moveLast();
    const long published = rows.recordCount();
    PostSetPlan plan = planPostSet(set, total, published, false);
    std::string text = readEditorTemplate(app.appFolder, "template-currentposts.html");
    std::string block = repeatedBlock(text, "VellumiteNewsFeed", "template-currentposts.html");
    BlockPattern pattern(block, kPostEntryTags);
    std::vector<std::string> values;
    std::string entries;
    for (std::int64_t row : plan.rows) {
        rows.moveFirst();
        rows.move(static_cast<long>(row - 1));
        postEntryValues(rows, values);
        pattern.appendFilled(entries, values);
    }
    platform::replaceAll(text, block, entries);
    platform::replaceAll(text, "<$midblocks$>", jumpList(plan, set));
    writeEditorPage(app.appFolder, "currentposts-every-row.html", text);
}

// The CPU time this process has used (user and system), in milliseconds.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Timing {
    double wallMs; // median
    double cpuMs;  // median
};

Timing median(int runs, const std::function<void()>& build) {
    std::vector<double> wall, cpu;
    build(); // warm the page cache and the database
    for (int i = 0; i < runs; ++i) {
        double cpuStart = cpuMs();
        auto start = std::chrono::steady_clock::now();
        build();
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        cpu.push_back(cpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

} // namespace

int main(int argc, char** argv) {
    const int posts = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    platform::keepFreedMemory(); // as the editor does when it starts
    char pattern[] = "/tmp/vellumite-bench-editor-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path folder = pattern;
    prepareAppFolder(folder, shippedResources());
    {
        platform::EventLoop loop;
        NullHost host;
        AppState app(loop, host, folder, Settings{});
        app.database = platform::Database::open((folder / kSiteDatabaseFile).string());
        app.logId = makeSite(*app.database, posts);
        app.displayTitle = "Bench";
        const std::int32_t lastSet = (posts + 9) / 10;
        auto someId = static_cast<std::int32_t>(
            *app.db()
                 .scalar("SELECT min(postID) FROM VellumitePosts WHERE LogID=?", {app.logId})
                 .integer());

        struct Row {
            std::string page;
            Timing ours;
            std::optional<Timing> everyRow;
        };
        std::vector<Row> rows;
        for (std::int32_t set : {1, lastSet / 2, lastSet})
            rows.push_back({"current posts, set " + std::to_string(set),
                            median(runs, [&] { subBuildCurrentPosts(app, set); }),
                            median(runs, [&] { buildReadingEveryRow(app, set); })});
        app.currentSet = 1;
        rows.push_back({"user links", median(runs, [&] { subBuildUserLinks(app); }), {}});
        rows.push_back({"highlights", median(runs, [&] { subBuildHighlights(app); }), {}});
        rows.push_back({"anchors (every post)", median(runs, [&] { subBuildAnchors(app); }), {}});
        rows.push_back({"content edit page with its frame pages, blank post",
                        median(runs, [&] { subShowContentEdit(app, kBlankPost, 0); }),
                        {}});
        rows.push_back({"content edit page with its frame pages, a post in place",
                        median(runs, [&] { subShowContentEdit(app, someId, kEditInPlace); }),
                        {}});

        std::printf("%d published posts, 50 drafts, 20 links; median of %d builds; target "
                    "20 ms a page\n\n",
                    posts, runs);
        std::printf("| page | wall (ms) | CPU (ms) | reading every row: wall (ms) | ratio |\n");
        std::printf("|---|---:|---:|---:|---:|\n");
        for (const auto& r : rows) {
            std::printf("| %s | %.2f | %.2f |", r.page.c_str(), r.ours.wallMs, r.ours.cpuMs);
            if (r.everyRow)
                std::printf(" %.2f | %.1fx |\n", r.everyRow->wallMs,
                            r.everyRow->wallMs / r.ours.wallMs);
            else
                std::printf(" | |\n");
        }
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
