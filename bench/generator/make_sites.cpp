// Makes the benchmark's two equal sites: rows in a Vellumite app folder, and a Hugo content
// folder with the same posts, categories and dates.
//
//   bench_generator APP_FOLDER HUGO_FOLDER POSTS
//
// APP_FOLDER must already be an app folder (run `vellumite --data-dir APP_FOLDER sites` once);
// the site "Bench" is added to its database. HUGO_FOLDER gets content/posts/*.html beside the
// layout copied there by the runner.
#include "platform/database.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kCategories = 20;
constexpr int kPerPage = 10;

const char* const kWords[] = {"leaf",  "water",  "kettle", "steep",   "cup",     "aroma", "green",
                              "black", "oolong", "garden", "harvest", "morning", "slow",  "warm"};

// About 1.5 KB of HTML: paragraphs of words, some bold, one link.
std::string bodyFor(std::mt19937& rng) {
    std::string body;
    while (body.size() < 1450) {
        body += "<p>";
        for (int w = 0; w < 24; ++w) {
            std::string word = kWords[rng() % std::size(kWords)];
            body += (w % 9 == 4) ? "<b>" + word + "</b> " : word + " ";
        }
        body += "<a href=\"http://tea.example/\">more</a>.</p>\n";
    }
    return body;
}

std::string stamp(int day, int second) {
    // Five years of days from 2019-01-01, counted on a 360-day calendar that keeps dates valid.
    int year = 2019 + day / 360, month = 1 + (day % 360) / 30, dom = 1 + day % 30;
    if (month == 2 && dom > 28)
        dom = 28;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, dom,
                  (second / 3600) % 24, (second / 60) % 60, second % 60);
    return buf;
}

const char* const kSiteTemplate =
    R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title><$VellumitePageTitle$></title></head><body>
<h1><$VellumiteLogTitle$></h1>
<VellumitePostBlock><div class="post" id="<$VellumitePostID$>"><h2><$VellumitePostTitle$></h2><p><$VellumitePostByline$> <$VellumitePostDateStamp$></p><div><$VellumitePostBody$></div></div>
</VellumitePostBlock>
<p><$PrevSet$> <$midblocks$> <$NextSet$></p>
<ul><UserCategoryList><li><$Category$></li>
</UserCategoryList></ul>
</body></html>
)";

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: bench_generator APP_FOLDER HUGO_FOLDER POSTS\n";
        return 2;
    }
    fs::path app = argv[1], hugo = argv[2];
    int posts = std::stoi(argv[3]);
    auto db = platform::Database::open((app / "vellumite.db").string());
    db.execute("BEGIN");
    db.execute("INSERT INTO VellumiteUserTemplate (templatename, htmltext) VALUES ('bench', ?)",
               {kSiteTemplate});
    auto templateId = db.scalar("SELECT max(templateID) FROM VellumiteUserTemplate");
    db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle, postperpage, "
               "TotalPublishPosts, UseDesignerTemplate, showDate, pageurl) "
               "VALUES ('Bench', 'Bench', 'Bench', ?, ?, ?, -1, 'http://bench.example')",
               {kPerPage, posts, templateId});
    auto logId = db.scalar("SELECT max(LogID) FROM VellumiteLog");
    for (int c = 1; c <= kCategories; ++c)
        db.execute("INSERT INTO VellumiteCategory (LogID, categoryname) VALUES (?, ?)",
                   {logId, "cat" + std::to_string(c)});
    auto firstCategory =
        *db.scalar("SELECT min(categoryID) FROM VellumiteCategory WHERE LogID=?", {logId})
             .integer();

    fs::create_directories(hugo / "content/posts");
    std::mt19937 rng(20240601);
    for (int i = 0; i < posts; ++i) {
        std::string when = stamp(i * 1800 / std::max(posts, 1), 30000 + i % 40000);
        std::string date = when.substr(0, 10), time = when.substr(11);
        int category = i % kCategories;
        std::string title = "Post " + std::to_string(i + 1), body = bodyFor(rng);
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage, categoryID) VALUES (?, ?, 'Ann', ?, ?, ?, 1, ?)",
                   {logId, title, body, date, time, firstCategory + category});
        char name[32];
        std::snprintf(name, sizeof name, "p%05d.html", i + 1);
        platform::files::writeFileAtomic(
            hugo / "content/posts" / name,
            "---\ntitle: \"" + title + "\"\ndate: " + date + "T" + time + "\nbyline: Ann\n" +
                "categories: [\"cat" + std::to_string(category + 1) + "\"]\n" +
                "_build:\n  render: never\n  list: always\n---\n" + body);
    }
    db.execute("COMMIT");
    std::cout << "site " << logId.toText() << " with " << posts << " posts\n";
    return 0;
}
