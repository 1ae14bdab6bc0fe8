// Posts written in a word processor: the document made once, the command that opens it.
#include "core/post_insert.h"
#include "editor/word_processor.h"
#include "editor_fixture.h"
#include "platform/files.h"
#include "store/external_body.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace vellumite {
namespace {

namespace files = platform::files;

// What a pipe carries until every writer has closed it (at most ten seconds).
std::string readAll(int fd) {
    std::string out;
    pollfd ready{fd, POLLIN, 0};
    char buffer[512];
    while (::poll(&ready, 1, 10'000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

class WordProcessor : public editor_tests::EditorTest {
protected:
    WordProcessor() {
        files::copyMissing(testing_support::sourceShare() / "external", dir / "external");
    }
};

TEST_F(WordProcessor, TheCommandGetsThePathAsOneLastArgument) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(wordProcessorCommand("'my writer' --new", "/d/My Docs/1_2.html"),
              (Words{"my writer", "--new", "/d/My Docs/1_2.html"}));
    const Words fallback = wordProcessorCommand("", "/d/x.html");
    EXPECT_TRUE(fallback == (Words{"libreoffice", "--writer", "/d/x.html"}) ||
                fallback == (Words{"xdg-open", "/d/x.html"}));
}

TEST_F(WordProcessor, ANewPostIsPostedAndItsDocumentKeptOnceWritten) {
    subWordEdit(app, 0);
    EXPECT_EQ(host.messages.at(0).text, "Post needs a title");
    EXPECT_EQ(count(), 0);

    // A stand-in that writes its arguments into a pipe; its end shows it ran and was let go.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    app.settings.wordProcessor = "sh -c 'printf %s \"$0\" >&" + std::to_string(pipeFds[1]) + "'";
    type("Essay", "me", "");
    subWordEdit(app, 0);
    ::close(pipeFds[1]);
    const std::int32_t id = lastPost();
    EXPECT_TRUE(isExternalBody(post(id, "posttext")));
    const auto document = externalDocumentPath(dir.path(), app.logId, id);
    EXPECT_EQ(files::readFile(document), files::readFile(dir / "external/template.html"));
    EXPECT_EQ(readAll(pipeFds[0]), document.string());

    files::writeFileAtomic(document, "<body>written</body>");
    EXPECT_EQ(makePostDocument(app, id), document);
    EXPECT_EQ(files::readFile(document), "<body>written</body>");
}

} // namespace
} // namespace vellumite
