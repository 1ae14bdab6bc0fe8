// Pop-up links: the block written for a post, and what of the target post goes into it.
#include "core/post_insert.h"
#include "editor/popup_links.h"
#include "editor_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using editor_tests::contains;

class PopupLinks : public editor_tests::EditorTest {
protected:
    PopupLinks() { content().elements["anchor"].className = "anchorpopupshow"; }
    std::string& body() { return formField(std::string(kPostBox)); }
};

TEST_F(PopupLinks, TheSelectionLinksToTheBlockWrittenForTheTargetPost) {
    const std::int32_t target = addPost("Tom's \"best\"", "2024-01-01", "12:00:00", 1,
                                        "Line one<br>\rIt's here");
    body() = "See this.";
    content().select(std::string(kPostForm), std::string(kPostBox), 4, 8);
    subAnchorTo(app, target);
    const std::string n = std::to_string(target);
    const std::string expected =
        "See <a href=javascript: ; onmouseup=javascript:mlink" + n + "();>this</a>." +
        "\r\r\r\r<!-- ---------------- --><!-- Vellumite MLink --><DIV id='VellumiteMLink" + n +
        "' class='mLinkHide'></DIV> <script language='javascript'>function mlink" + n +
        "(){var layer1 = document.getElementById('VellumiteMLink" + n +
        "');layer1.className = 'mLinkShow';if (navigator.appName == 'Microsoft Internet "
        "Explorer'){mX = event.clientX+ document.body.scrollLeft;mY = event.clientY + "
        "document.body.scrollTop;}else {mX = e.pageX; mY = e.pageY;}layer1.style.pixelTop = mY  ; "
        "layer1.style.pixelLeft = mX ;layer1.innerHTML = 'Tom\\'s \\\"best\\\"<BR> Line "
        "one<br>It\\'s here<BR> <a href=\"javascript:hideMlink" + n +
        "();\">Done</a>';}function hideMlink" + n +
        "(){var layer1 = document.getElementById('VellumiteMLink" + n +
        "');layer1.className = 'mLinkHide';}</script><!-- End Vellumite MLink --><!-- "
        "---------------- -->";
    EXPECT_EQ(body(), expected);
    EXPECT_EQ(content().elements["anchor"].className, "anchorpopuphide");
    EXPECT_EQ(content().selection->end - content().selection->start,
              popupAnchor(target, "this").size()); // the new link stays selected
}

TEST_F(PopupLinks, NothingSelectedOnlyClosesTheChooser) {
    body() = "text";
    subAnchorTo(app, addPost("t", "2024-01-01"));
    EXPECT_EQ(body(), "text");
    EXPECT_EQ(content().elements["anchor"].className, "anchorpopuphide");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(PopupLinks, ATargetKeepsOnlyItsOwnTextAndCannotEndTheScript) {
    const std::string earlier = "Go <a href=javascript: ; onmouseup=javascript:mlink3();>there</a>" +
                                popupBlock(3, "T", "B") + " now";
    const struct {
        std::string stored, inScript;
    } cases[] = {
        {earlier, "Go there now"},
        {"old <a href=javascript:mlink2();>link</a><!-- ---------------- -->x", "old link"},
        {"a</script><script>alert(1)</script>", "a<\\/script><script>alert(1)<\\/script>"},
        {"C:\\users <!-- note -->", "C:\\\\users <\\!-- note -->"},
        {"unclosed <a href=javascript:mlink4();>text", "unclosed text"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(popupBody(c.stored), c.inScript) << c.stored;
    EXPECT_EQ(popupScriptText("</b>'\"\r\n"), "<\\/b>\\'\\\"");
}

} // namespace
} // namespace vellumite
