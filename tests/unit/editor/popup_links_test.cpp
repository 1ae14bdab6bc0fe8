// Pop-up links: what of the target post goes into the block written for a post.
#include "editor/popup_links.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

// The block at work in a previewed page, its link and its end: see the browser test of the tools.
TEST(PopupLinks, ATargetKeepsOnlyItsOwnTextAndCannotEndTheScript) {
    const std::pair<std::string, std::string> cases[] = {
        {"Go " + popupAnchor(3, "there") + popupBlock(3, "T", "B") + " now", "Go there now"},
        {"old <a href=javascript:mlink2();>link</a><!-- ---------------- -->x", "old link"},
        {"a</script><script>alert(1)</script>", "a<\\/script><script>alert(1)<\\/script>"},
        {"C:\\users <!-- note -->", "C:\\\\users <\\!-- note -->"},
        {"unclosed <a href=javascript:mlink4();>text", "unclosed text"},
    };
    for (const auto& [stored, inScript] : cases)
        EXPECT_EQ(popupBody(stored), inScript) << stored;
    EXPECT_EQ(popupScriptText("</b>'\"\r\n"), "<\\/b>\\'\\\"");
}

} // namespace
} // namespace vellumite
