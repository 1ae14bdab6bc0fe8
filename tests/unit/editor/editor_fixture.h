// An app folder with the shipped editor pages, a real site database and a FakeHost whose
// content pane holds the post form and the section tabs, for the editor's tests.
#pragma once

#include "editor/sections.h"
#include "platform/files.h"
#include "shell/panes.h"
#include "support/fake_host.h"
#include "support/site_database.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>

namespace editor_tests {

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
        : host({vellumite::kPaneNames.begin(), vellumite::kPaneNames.end()}, &loop),
          app(loop, host, dir.path(), vellumite::Settings{}) {
        platform::files::copyMissing(testing_support::sourceShare() / "html", dir / "html");
        app.database = testing_support::makeSiteDatabase(dir / "vellumite.db");
        app.logId = addSite("My weblog");
        app.displayTitle = "My weblog";
        auto& content = host.doc(std::string(vellumite::pane::Content));
        content.form("VellumiteContentEdit",
                     {{"VellumiteTitle", ""}, {"VellumiteByline", ""}, {"Vellumiteposttext", ""}});
        content.field("VellumiteContentEdit", "Vellumiteposttext").type = "textarea";
        for (auto tab : vellumite::kSectionTabs)
            content.elements[std::string(tab)] = {};
    }

    platform::Database& db() { return *app.database; }

    std::int32_t addSite(const std::string& title, int total = 25, bool ascending = false) {
        db().execute("INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle, "
                     "TotalPublishPosts, PublishBackwards, numberthispage, PublishedPages, "
                     "Publishandupload) VALUES (?, ?, ?, ?, ?, 0, 1, '')",
                     {title, title, title, total, ascending});
        return static_cast<std::int32_t>(
            *db().scalar("SELECT max(LogID) FROM VellumiteLog").integer());
    }

    void setSite(const std::string& field, platform::Value value) {
        db().execute("UPDATE VellumiteLog SET " + field + "=? WHERE LogID=?", {value, app.logId});
    }
    platform::Value site(const std::string& field) {
        return db().scalar("SELECT " + field + " FROM VellumiteLog WHERE LogID=?", {app.logId});
    }
    platform::Value post(std::int32_t id, const std::string& field) {
        return db().scalar("SELECT " + field + " FROM VellumitePosts WHERE postID=?", {id});
    }
    long postCount() {
        return static_cast<long>(*db().scalar("SELECT count(*) FROM VellumitePosts").integer());
    }

    // A post stamped `date` and `time`; page 0 makes a draft.
    std::int32_t addPost(const std::string& title, const std::string& date,
                         const std::string& time = "12:00:00", int page = 1,
                         const std::string& body = "body", const std::string& byline = "by") {
        db().execute(
            "INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
            "posttime, PublishPage) VALUES (?, ?, ?, ?, ?, ?, ?)",
            {app.logId, title, byline, body, date, time, page});
        return static_cast<std::int32_t>(
            *db().scalar("SELECT max(postID) FROM VellumitePosts").integer());
    }

    // `count` published posts "p1" (newest) to "pN" (oldest), one a minute apart.
    void addPosts(int count) {
        for (int i = 1; i <= count; ++i) {
            int minutes = 24 * 60 - i;
            char time[32];
            std::snprintf(time, sizeof time, "%02d:%02d:00", minutes / 60, minutes % 60);
            addPost("p" + std::to_string(i), "2024-05-01", time);
        }
    }

    // What the user has typed into the post form.
    void type(const std::string& title, const std::string& byline, const std::string& body) {
        auto& content = host.doc(std::string(vellumite::pane::Content));
        content.field("VellumiteContentEdit", "VellumiteTitle").value = title;
        content.field("VellumiteContentEdit", "VellumiteByline").value = byline;
        content.field("VellumiteContentEdit", "Vellumiteposttext").value = body;
    }
    std::string formValue(const std::string& field) {
        return host.doc(std::string(vellumite::pane::Content))
            .field("VellumiteContentEdit", field)
            .value;
    }

    std::string page(const std::string& name) {
        return platform::files::readFile(dir / "html" / name);
    }
    std::string selectedTab() {
        for (auto tab : vellumite::kSectionTabs)
            if (host.doc(std::string(vellumite::pane::Content))
                    .elements[std::string(tab)]
                    .className == "selectedsection")
                return std::string(tab);
        return "";
    }
    // The last page shown in frame `index` of the content pane ("" when none).
    std::string frameShown(int index) {
        platform::DocPath frame{std::string(vellumite::pane::Content), {index}};
        return host.location(frame);
    }

    testing_support::TempDir dir;
    platform::EventLoop loop;
    vellumite::testing::FakeHost host;
    vellumite::AppState app;
};

// The number of non-overlapping occurrences of `what` in `text`.
inline std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size()))
        ++n;
    return n;
}

} // namespace editor_tests
