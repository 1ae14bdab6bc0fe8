// Making a post's document and starting the word processor on it.
#include "editor/word_processor.h"

#include "core/post_insert.h"
#include "editor/posts.h"
#include "platform/detached_process.h"
#include "platform/files.h"
#include "store/external_body.h"
#include "store/readers.h"

#include <system_error>

namespace vellumite {

namespace fs = std::filesystem;

std::vector<std::string> wordProcessorCommand(const std::string& configured,
                                              const fs::path& document) {
    std::vector<std::string> command = platform::splitCommand(configured);
    if (command.empty()) {
        if (platform::findProgram("libreoffice"))
            command = {"libreoffice", "--writer"};
        else
            command = {"xdg-open"};
    }
    command.push_back(document.string());
    return command;
}

fs::path makePostDocument(AppState& app, std::int32_t postId) {
    const fs::path document = externalDocumentPath(app.appFolder, app.logId, postId);
    std::error_code ec;
    if (fs::exists(document, ec))
        return document;
    fs::create_directories(document.parent_path(), ec);
    platform::files::writeFileAtomic(
        document, platform::files::readFile(app.appFile("external/template.html")),
        fs::perms::owner_read | fs::perms::owner_write);
    return document;
}

void subWordEdit(AppState& app, std::int32_t postId) {
    if (postId == 0) {
        platform::Document doc = postDocument(app);
        if (doc.fieldValue(std::string(kPostForm), "VellumiteTitle").empty()) {
            app.host.msgBox("Post needs a title", "Vellumite");
            return;
        }
        doc.setFieldValue(std::string(kPostForm), kPostBox, kExternalElement);
        subPostNew(app);
        postId = readInt(app.db().scalar(
            "SELECT postID FROM VellumitePosts WHERE LogID=? ORDER BY postID DESC LIMIT 1",
            {app.logId}));
    }
    platform::startDetached(
        wordProcessorCommand(app.settings.wordProcessor, makePostDocument(app, postId)));
}

} // namespace vellumite
