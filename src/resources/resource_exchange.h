// What resource import exchanges with the web service: the request addresses, the checked values
// of the manager page, the exchange file, and the answer's items.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

inline constexpr std::string_view kImportListFile = "importlist.xml";
inline constexpr std::string_view kExportListPath = "/export_list.php";
inline constexpr std::string_view kExportListField = "userfile";

// "/manageResources.php?username=<user>&password=<password>" followed by `tail`
// ("&lastupdate=...", "&setup=true", "&delete=..."). The name and password are percent-encoded,
// so that a "&", "#" or space in them neither cuts nor changes the request.
std::string manageResourcesPath(std::string_view user, std::string_view password,
                                std::string_view tail);
// "/setresourcetime.php?userid=<id>&days=<days>&maxposts=<total>".
std::string setResourceTimePath(std::int32_t userId, std::int32_t days, std::int32_t maxPosts);
// The news-alert service's login page for a user, or its home page when `user` is empty.
std::string glintwatchPath(std::string_view user, std::string_view password);

// One check box of the manager page: its value is the provider, the item id and the feed id
// joined by "-".
struct ManagerItem {
    std::string provider, itemId, feedId;
};
// The three pieces of a check box value; nothing when it does not have exactly three non-empty
// pieces.
std::optional<ManagerItem> managerItem(std::string_view value);

// The exchange file: the items in page order, each with the site's identifier at the service
// and the user's name and password. Lines end in CR LF, the last one has no line end. Values are
// written as XML text ("&", "<" and ">" as references), so that a password holding them still
// gives a file the service can read.
std::string importListXml(const std::vector<ManagerItem>& items, std::string_view userId,
                          std::string_view user, std::string_view password);

// One item of the service's answer, each value as the element's text (with "+" for spaces).
struct NewsItem {
    std::string url, title, siteName, siteUrl, body;
};

// An answer that is not well-formed XML. The text is what the user is shown.
class ImportAnswerError : public platform::MessageError {
public:
    explicit ImportAnswerError(std::string description)
        : MessageError(kNumber, std::move(description), "subImport") {}
    static constexpr int kNumber = 5; // invalid procedure call or argument
};

// Every "BLAH/NEWSFEED" node of the answer. The text of an element is everything between its
// opening and closing tag, as the node's XML writes it. Throws ImportAnswerError when the
// answer is not well-formed.
std::vector<NewsItem> newsItemsOfAnswer(std::string_view answer);

// The text a list shows for a stored body: "+" as spaces, and a text of more than 100
// characters cut to its first 100 followed by "...". Characters, not bytes: a letter written
// in several bytes is never cut in two.
std::string listedMatch(std::string_view body);

// The local time as the site keeps the time of its last import: "yyyymmddhhmmss".
std::string importTimestamp();

} // namespace vellumite
