// Posts written in a word processor: the command that opens the document, a document kept.
#include "editor/word_processor.h"
#include "editor_fixture.h"
#include "platform/files.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

namespace files = platform::files;

class WordProcessor : public editor_tests::EditorTest {};

// A configured command and its quoting: see the browser test of the tools and splitCommand's.
TEST_F(WordProcessor, WithoutACommandAnOfficeSuiteOrTheDesktopsChoiceOpensTheDocument) {
    using Words = std::vector<std::string>;
    const Words fallback = wordProcessorCommand("", "/d/x.html");
    EXPECT_TRUE(fallback == (Words{"libreoffice", "--writer", "/d/x.html"}) ||
                fallback == (Words{"xdg-open", "/d/x.html"}));
}

TEST_F(WordProcessor, TheDocumentIsMadeFromTheTemplateOnceAndKeptWhenWritten) {
    EXPECT_THROW(makePostDocument(app, 9), std::system_error) << "no template shipped";
    files::copyMissing(testing_support::sourceShare() / "external", dir / "external");
    const auto document = makePostDocument(app, 9);
    EXPECT_EQ(files::readFile(document), files::readFile(dir / "external/template.html"));
    files::writeFileAtomic(document, "<body>written</body>");
    EXPECT_EQ(files::readFile(makePostDocument(app, 9)), "<body>written</body>");

    subWordEdit(app, 0);
    EXPECT_EQ(host.messages.at(0).text, "Post needs a title");
    EXPECT_EQ(count(), 0);
}

} // namespace
} // namespace vellumite
