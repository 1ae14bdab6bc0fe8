// ReadExternalBody: the published body of a post whose text lives in a word-processor document.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vellumite {

// The body that marks a post edited in the word processor.
inline constexpr std::string_view kExternalElement = "<!External Element>";

// A post's external document cannot be read.
class ExternalBodyError : public platform::MessageError {
public:
    explicit ExternalBodyError(std::string description)
        : MessageError(kNumber, std::move(description), "ReadExternalBody") {}
    static constexpr int kNumber = 75; // path/file access error
};

// external/<LogID>_<postID>.html under the app folder.
std::filesystem::path externalDocumentPath(const std::filesystem::path& appFolder,
                                           std::int32_t logId, std::int32_t postId);

// True for a body that is the external marker (blanks around it allowed, as the post editor
// allows them).
bool isExternalBody(std::string_view body);

// Returns `body` unchanged unless it is the external marker; then the inner HTML of the
// post's document, with the word processor's Mso classes removed. Throws ExternalBodyError
// naming the post when the document cannot be read.
std::string ReadExternalBody(std::string_view body, std::int32_t postId,
                             const std::filesystem::path& appFolder, std::int32_t logId);

// The document-to-body step alone, on the document's text.
std::string externalBodyFromDocument(std::string_view document);

} // namespace vellumite
