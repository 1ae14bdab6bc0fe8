// A site ready to publish in an app folder, and pages written by a stand-in for the generator,
// for the tests of the publish run and its window.
#pragma once

#include "platform/files.h"
#include "publish/publish_run.h"
#include "support/app_fixture.h"

#include <map>

namespace publish_tests {

// Writes index.html, item<n>.html and cat1-1.html into html/output, with the texts given.
class WrittenPages : public vellumite::SitePages {
public:
    WrittenPages(std::filesystem::path app, int items, std::map<std::string, std::string> texts)
        : m_output(app / "html/output"), m_items(items), m_texts(std::move(texts)) {}
    std::filesystem::path outputFolder() const override { return m_output; }
    std::int32_t itemPageCount() override { return m_items; }
    std::string mainPage(std::int32_t) override { return write("index.html"); }
    std::string itemPage(std::int32_t n, std::int32_t) override {
        return write("item" + std::to_string(n) + ".html");
    }
    std::vector<std::string> categoryPages() override { return {write("cat1-1.html")}; }
    std::vector<std::string> archivePages() override { return {write("archindex.html")}; }

private:
    std::string write(const std::string& name) {
        auto it = m_texts.find(name);
        std::filesystem::create_directories(m_output);
        platform::files::writeFileAtomic(m_output / name, it == m_texts.end() ? name : it->second);
        return name;
    }
    std::filesystem::path m_output;
    int m_items;
    std::map<std::string, std::string> m_texts;
};

// The open site of `f`, ready to publish to `server` (passive); the web service is nobody.
inline void publishableSite(testing_support::AppFixture& f, const std::string& server) {
    f.app.settings.online = true;
    f.app.settings.serviceUrl = "http://127.0.0.1:1";
    f.app.logId = f.addSite("Log", {{"ftplocation", server},
                                    {"ftpusername", "tester"},
                                    {"ftppassword", "s3cret"},
                                    {"ftppassive", true},
                                    {"UseDesignerTemplate", 1}});
}

} // namespace publish_tests
