// The fill engine: template line joining, the repeated block and its length rule, failures.
#include "core/fill_engine.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using testing_support::TempDir;

class FillEngine : public ::testing::Test {
protected:
    FillEngine() { std::filesystem::create_directories(dir / "html"); }
    void writeTemplate(const std::string& name, const std::string& text) {
        platform::files::writeFileAtomic(dir / "html" / name, text);
    }
    TempDir dir;
};

TEST_F(FillEngine, LinesArePrecededByLfCrAndTheNameMatchesInAnyCase) {
    writeTemplate("Template-X.HTML", "one\r\ntwo\nthree");
    EXPECT_EQ(readEditorTemplate(dir.path(), "template-x.html"), "\n\rone\n\rtwo\n\rthree");
    writeTemplate("template-empty.html", "");
    EXPECT_EQ(readEditorTemplate(dir.path(), "template-empty.html"), "");
}

TEST_F(FillEngine, BlockIsOneCharacterShorterThanTheTextBetweenTheFirstMarkers) {
    const std::pair<std::string, std::string> cases[] = {
        {"x<M>abc</M>y", "ab"},
        {"<M>12</M> <M>34</M>", "1"}, // first occurrences only
        {"<M>a</M>", ""},
        {"<M></M>", ""},
        {"<M>\n\rrow\n\r</M>", "\n\rrow\n"},
    };
    for (const auto& [page, block] : cases)
        EXPECT_EQ(repeatedBlock(page, "M", "template-t.html"), block) << page;
}

TEST_F(FillEngine, MissingMarkersOrTemplateNameTheTemplate) {
    const std::function<void()> failures[] = {
        [] { repeatedBlock("no markers", "M", "template-t.html"); },
        [] { repeatedBlock("<M>open only", "M", "template-t.html"); },
        [] { repeatedBlock("close only</M>", "M", "template-t.html"); },
        [] { repeatedBlock("</M>close before open<M>", "M", "template-t.html"); },
        [this] { readEditorTemplate(dir.path(), "template-t.html"); },
    };
    for (const auto& fail : failures)
        EXPECT_THAT(fail, ThrowsMessage<TemplateError>(HasSubstr("template-t.html")));
}

TEST_F(FillEngine, ClosingMarkerOnItsOwnLineKeepsOneCrAfterTheRecords) {
    writeTemplate("template-list.html", "<ul>\n<M>\n<li id=<$x-@$>>@</li>\n</M>\n</ul>\n");
    ListPage list(dir.path(), "template-list.html", "M", {"@"});
    list.add({"a"});
    list.add({"b"});
    list.expand();
    EXPECT_EQ(
        platform::files::readFile(list.write("list.html")),
        "\n\r<ul>\n\r<M>\n\r<li id=<$x-a$>>a</li>\n\n\r<li id=<$x-b$>>b</li>\n\r</M>\n\r</ul>");
    ListPage empty(dir.path(), "template-list.html", "M", {"@"});
    EXPECT_EQ(empty.expand(), "\n\r<ul>\n\r<M>\r</M>\n\r</ul>"); // no records: one CR
}

TEST_F(FillEngine, PageReplacesAnEarlierCopyUnderAnotherCase) {
    writeTemplate("DRAFT.html", "old");
    writeEditorPage(dir.path(), "draft.html", "new");
    EXPECT_EQ(platform::files::readFile(dir / "html" / "DRAFT.html"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "html" / "draft.html"));
}

} // namespace
} // namespace vellumite
