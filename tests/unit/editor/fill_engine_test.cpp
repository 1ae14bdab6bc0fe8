// The fill engine: template line joining, the repeated block and its length rule, failures.
#include "editor/fill_engine.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using testing_support::TempDir;

class FillEngine : public ::testing::Test {
protected:
    FillEngine() { std::filesystem::create_directories(dir / "html"); }
    void writeTemplate(const std::string& name, const std::string& text) {
        platform::files::writeFileAtomic(dir / "html" / name, text);
    }
    std::string written(const std::string& name) {
        return platform::files::readFile(dir / "html" / name);
    }
    TempDir dir;
};

TEST_F(FillEngine, LinesArePrecededByLfCr) {
    writeTemplate("template-x.html", "one\r\ntwo\nthree");
    EXPECT_EQ(readEditorTemplate(dir.path(), "template-x.html"), "\n\rone\n\rtwo\n\rthree");
    writeTemplate("template-empty.html", "");
    EXPECT_EQ(readEditorTemplate(dir.path(), "template-empty.html"), "");
}

TEST_F(FillEngine, TemplateNameMatchesWithoutRegardToCase) {
    writeTemplate("Template-X.HTML", "a");
    EXPECT_EQ(readEditorTemplate(dir.path(), "template-x.html"), "\n\ra");
}

TEST_F(FillEngine, BlockIsOneCharacterShorterThanTheTextBetweenTheFirstMarkers) {
    struct Case {
        std::string page;
        std::string block;
    };
    const Case cases[] = {
        {"x<M>abc</M>y", "ab"},
        {"<M>12</M> <M>34</M>", "1"}, // first occurrences only
        {"<M>a</M>", ""},
        {"<M></M>", ""},
        {"<M>\n\rrow\n\r</M>", "\n\rrow\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(repeatedBlock(c.page, "M", "template-t.html"), c.block) << c.page;
}

TEST_F(FillEngine, MissingMarkersNameTheTemplate) {
    const std::string pages[] = {"no markers", "<M>open only", "close only</M>",
                                 "</M>close before open<M>"};
    for (const auto& page : pages) {
        try {
            repeatedBlock(page, "M", "template-t.html");
            ADD_FAILURE() << "no error for " << page;
        } catch (const TemplateError& e) {
            EXPECT_NE(std::string(e.what()).find("template-t.html"), std::string::npos) << e.what();
        }
    }
}

TEST_F(FillEngine, MissingTemplateNamesIt) {
    try {
        readEditorTemplate(dir.path(), "template-gone.html");
        FAIL();
    } catch (const TemplateError& e) {
        EXPECT_NE(std::string(e.what()).find("html/template-gone.html"), std::string::npos);
    }
}

TEST_F(FillEngine, ClosingMarkerOnItsOwnLineKeepsOneCrAfterTheRecords) {
    writeTemplate("template-list.html", "<ul>\n<M>\n<li>$</li>\n</M>\n</ul>\n");
    ListPage page(dir.path(), "template-list.html", "M");
    for (std::string name : {"a", "b"}) {
        std::string entry = page.block();
        entry.replace(entry.find('$'), 1, name);
        page.append(entry);
    }
    page.expand();
    page.write("list.html");
    EXPECT_EQ(written("list.html"),
              "\n\r<ul>\n\r<M>\n\r<li>a</li>\n\n\r<li>b</li>\n\r</M>\n\r</ul>");
}

TEST_F(FillEngine, NoRecordsLeaveTheMarkersAndOneCr) {
    writeTemplate("template-list.html", "<M>\n<li>$</li>\n</M>");
    ListPage page(dir.path(), "template-list.html", "M");
    EXPECT_EQ(page.expand(), "\n\r<M>\r</M>");
}

TEST_F(FillEngine, PageReplacesAnEarlierCopyUnderAnotherCase) {
    writeTemplate("DRAFT.html", "old");
    writeEditorPage(dir.path(), "draft.html", "new");
    EXPECT_EQ(written("DRAFT.html"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "html" / "draft.html"));
}

} // namespace
} // namespace vellumite
