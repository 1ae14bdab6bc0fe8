// Section tabs and the side frames of the content edit page.
#include "editor/sections.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::EditorTest;

class Sections : public EditorTest {};

TEST_F(Sections, OneTabIsMarkedInOrderAndFrameZeroShowsTheSection) {
    auto& content = host.doc(std::string(pane::Content));
    for (auto tab : kSectionTabs)
        content.elements[std::string(tab)].className = "selectedsection";
    showSection(app, section::Drafts, "draft.html");
    std::vector<std::string> order;
    for (const auto& call : host.domCalls)
        if (call.op == "setClass")
            order.push_back(call.args["element"].get<std::string>() + "=" +
                            call.args["value"].get<std::string>());
    EXPECT_EQ(order,
              (std::vector<std::string>{"ahrefrecentposts=", "ahrefdrafts=selectedsection",
                                        "ahrefarchives=", "ahreftoolbar=", "ahrefresources="}));
    EXPECT_EQ(frameShown(editorframe::SectionList), (dir / "html" / "draft.html").string());
}

TEST_F(Sections, UserLinksAreBuiltAndShownTwice) {
    db().execute("INSERT INTO VellumiteLinks (LogID, linktext, linkurl) VALUES (?, ?, ?)",
                 {app.logId, "<b>Tea</b> & \"cakes\"", "http://tea.example"});
    subShowUserLinks(app);
    EXPECT_NE(page("userlinks.html").find(">Tea &amp; &quot;cakes&quot;</a>"), std::string::npos);
    platform::DocPath links{std::string(pane::Content), {editorframe::UserLinks}};
    int shown = 0;
    for (const auto& [where, address] : host.navigations)
        shown += where == links && address == (dir / "html" / "userlinks.html").string();
    EXPECT_EQ(shown, 2);
}

} // namespace
} // namespace vellumite
