// A site row ready to publish, and pages written by a stand-in for the generator, for the tests
// of the publish run and its window.
#pragma once

#include "platform/files.h"
#include "publish/publish_run.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <map>
#include <stdexcept>
#include <string>

namespace publish_tests {

// Writes the pages a run asks for into the output folder: index.html, item<n>.html, the
// category and archive pages, each with the content given (or its own name).
class WrittenPages : public vellumite::SitePages {
public:
    WrittenPages(std::filesystem::path output, int items, std::map<std::string, std::string> texts)
        : m_output(std::move(output)), m_items(items), m_texts(std::move(texts)) {
        std::filesystem::create_directories(m_output);
    }
    std::filesystem::path outputFolder() const override { return m_output; }
    std::int32_t itemPageCount() override { return m_items; }
    std::string mainPage(std::int32_t) override { return write("index.html"); }
    std::string itemPage(std::int32_t n, std::int32_t) override {
        return write("item" + std::to_string(n) + ".html");
    }
    std::vector<std::string> categoryPages() override { return {write("cat1-1.html")}; }
    std::vector<std::string> archivePages() override {
        return {write("archindex.html"), write("arch012026.html")};
    }

private:
    std::string write(const std::string& name) {
        auto it = m_texts.find(name);
        platform::files::writeFileAtomic(m_output / name, it == m_texts.end() ? name : it->second);
        return name;
    }
    std::filesystem::path m_output;
    int m_items;
    std::map<std::string, std::string> m_texts;
};

class PublishFixture {
public:
    PublishFixture() {
        db.execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, ftplocation, ftpusername, "
                   "ftppassword, ftppath, ftppassive, UseDesignerTemplate, pageurl) VALUES "
                   "('Log', 'Log', '127.0.0.1:21', 'tester', 's3cret', '', -1, 1, 'http://x')");
    }

    void setSite(const std::string& field, const platform::Value& value) {
        db.execute("UPDATE VellumiteLog SET " + field + "=? WHERE LogID=1", {value});
    }

    vellumite::SitePagesFactory pages(int items = 2,
                                      std::map<std::string, std::string> texts = {}) {
        return [this, items, texts] {
            ++pagesMade;
            return std::make_unique<WrittenPages>(dir / "app/html/output", items, texts);
        };
    }

    vellumite::PublishOptions options(vellumite::PublishKind kind = vellumite::PublishKind::Posts) {
        vellumite::PublishOptions o;
        o.kind = kind;
        o.settings.online = true;
        o.settings.serviceUrl = "http://127.0.0.1:1"; // nobody: the registration fails quietly
        o.appFolder = dir / "app";
        o.timeoutSeconds = 5;
        return o;
    }

    // Starts the run and pumps until it ends (or `limit` passes).
    const vellumite::PublishEnd&
    runToEnd(vellumite::PublishRun& run,
             std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        bool ended = false;
        run.OnEnd = [&](const vellumite::PublishEnd&) { ended = true; };
        run.start();
        loop.runUntil([&] { return ended; }, limit);
        if (!ended)
            throw std::runtime_error("the run did not end");
        return run.end();
    }

    testing_support::TempDir dir;
    platform::Database db = testing_support::makeSiteDatabase(dir / "vellumite.db");
    platform::EventLoop loop;
    int pagesMade = 0;
};

} // namespace publish_tests
