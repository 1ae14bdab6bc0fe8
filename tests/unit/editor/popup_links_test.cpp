// Pop-up links: the block written for a post, and what of the target post goes into it.
#include "editor/popup_links.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(PopupLinks, TheBlockForAFixedPostByteForByte) {
    EXPECT_EQ(popupAnchor(7, "this"),
              "<a href=javascript: ; onmouseup=javascript:mlink7();>this</a>");
    EXPECT_EQ(
        popupBlock(7, popupScriptText("Tom's \"best\""), popupBody("Line one<br>\rIt's here")),
        "\r\r\r\r<!-- ---------------- --><!-- Vellumite MLink --><DIV id='VellumiteMLink7' "
        "class='mLinkHide'></DIV> <script language='javascript'>function mlink7(){var layer1 = "
        "document.getElementById('VellumiteMLink7');layer1.className = 'mLinkShow';if "
        "(navigator.appName == 'Microsoft Internet Explorer'){mX = event.clientX+ "
        "document.body.scrollLeft;mY = event.clientY + document.body.scrollTop;}else {mX = "
        "e.pageX; mY = e.pageY;}layer1.style.pixelTop = mY  ; layer1.style.pixelLeft = mX "
        ";layer1.innerHTML = 'Tom\\'s \\\"best\\\"<BR> Line one<br>It\\'s here<BR> <a "
        "href=\"javascript:hideMlink7();\">Done</a>';}function hideMlink7(){var layer1 = "
        "document.getElementById('VellumiteMLink7');layer1.className = 'mLinkHide';}</script><!-- "
        "End Vellumite MLink --><!-- ---------------- -->");
}

TEST(PopupLinks, ATargetKeepsOnlyItsOwnTextAndCannotEndTheScript) {
    const struct {
        std::string stored, inScript;
    } cases[] = {
        {"Go " + popupAnchor(3, "there") + popupBlock(3, "T", "B") + " now", "Go there now"},
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
