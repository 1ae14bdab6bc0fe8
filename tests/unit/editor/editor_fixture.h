// The app folder fixture with one open site and the content pane's post form and section tabs,
// for the editor's tests.
#pragma once

#include "core/panes.h"
#include "editor/sections.h"
#include "support/app_fixture.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace editor_tests {

class EditorTest : public ::testing::Test, protected testing_support::AppFixture {
protected:
    EditorTest() {
        app.logId = addSite("My weblog", {{"TotalPublishPosts", 25},
                                          {"numberthispage", 0},
                                          {"PublishedPages", 1},
                                          {"Publishandupload", ""}});
        app.displayTitle = "My weblog";
        content().form(
            "VellumiteContentEdit",
            {{"VellumiteTitle", ""}, {"VellumiteByline", ""}, {"Vellumiteposttext", ""}});
        content().field("VellumiteContentEdit", "Vellumiteposttext").type = "textarea";
        for (auto tab : vellumite::kSectionTabs)
            content().elements[std::string(tab)] = {};
    }

    vellumite::testing::FakeDocument& content() {
        return host.doc(std::string(vellumite::pane::Content));
    }
    void setSite(const std::string& field, platform::Value value) {
        db.execute("UPDATE VellumiteLog SET " + field + "=? WHERE LogID=?", {value, app.logId});
    }
    std::string site(const std::string& field) { return siteField(app.logId, field).toText(); }
    std::string post(std::int32_t id, const std::string& field) {
        return db.scalar("SELECT " + field + " FROM VellumitePosts WHERE postID=?", {id}).toText();
    }
    long count(const std::string& where = "1") {
        return static_cast<long>(
            *db.scalar("SELECT count(*) FROM VellumitePosts WHERE " + where).integer());
    }
    std::int32_t lastPost() {
        return static_cast<std::int32_t>(
            *db.scalar("SELECT max(postID) FROM VellumitePosts").integer());
    }

    // A post stamped `date` and `time`; page 0 makes a draft.
    std::int32_t addPost(const std::string& title, const std::string& date,
                         const std::string& time = "12:00:00", int page = 1,
                         const std::string& body = "body", const std::string& byline = "by") {
        db.execute("INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, "
                   "posttime, PublishPage) VALUES (?, ?, ?, ?, ?, ?, ?)",
                   {app.logId, title, byline, body, date, time, page});
        return lastPost();
    }
    // `n` published posts "p1" (newest) to "pN" (oldest), one a minute apart.
    void addPosts(int n) {
        for (int i = 1; i <= n; ++i) {
            char time[32];
            const int minute = 24 * 60 - i;
            std::snprintf(time, sizeof time, "%02d:%02d:00", minute / 60, minute % 60);
            addPost("p" + std::to_string(i), "2024-05-01", time);
        }
    }

    // What the user has typed into the post form.
    void type(const std::string& title, const std::string& byline, const std::string& body) {
        formField("VellumiteTitle") = title;
        formField("VellumiteByline") = byline;
        formField("Vellumiteposttext") = body;
    }
    std::string& formField(const std::string& name) {
        return content().field("VellumiteContentEdit", name).value;
    }

    std::string selectedTab() {
        for (auto tab : vellumite::kSectionTabs)
            if (content().elements[std::string(tab)].className == "selectedsection")
                return std::string(tab);
        return "";
    }
    // The last page shown in frame `index` of the content pane.
    std::string frameShown(int index) {
        return host.location({std::string(vellumite::pane::Content), {index}});
    }
    std::string htmlPath(const std::string& name) { return (dir / "html" / name).string(); }
    // The titles a list page shows, in order.
    static std::vector<std::string> titles(const std::string& text) {
        std::vector<std::string> out;
        for (auto at = text.find("class=\"posttitle\""); at != std::string::npos;
             at = text.find("class=\"posttitle\"", at + 1)) {
            auto end = text.find("</a>", at);
            auto from = text.rfind('>', end - 1) + 1; // titles are escaped: no ">" inside
            out.push_back(text.substr(from, end - from));
        }
        return out;
    }
};

inline bool contains(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

} // namespace editor_tests
