// The request addresses, the exchange file and the answer of a resource import.
#include "resources/resource_exchange.h"

#include "platform/date_time.h"
#include "platform/text.h"

#include <pugixml.hpp>
#include <sstream>

namespace vellumite {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void element(std::string& out, std::string_view name, std::string_view value) {
    out += "<" + std::string(name) + ">" + platform::htmlEscape(value) + "</" + std::string(name) +
           ">";
}

// Everything between the element's tags, as the node writes it.
std::string innerXml(const pugi::xml_node& parent, const char* name) {
    std::ostringstream out;
    for (const pugi::xml_node& child : parent.child(name).children())
        child.print(out, "", pugi::format_raw);
    return out.str();
}

} // namespace

std::string manageResourcesPath(std::string_view user, std::string_view password,
                                std::string_view tail) {
    return "/manageResources.php?username=" + platform::percentEncode(user) +
           "&password=" + platform::percentEncode(password) + std::string(tail);
}

std::string setResourceTimePath(std::int32_t userId, std::int32_t days, std::int32_t maxPosts) {
    return "/setresourcetime.php?userid=" + std::to_string(userId) +
           "&days=" + std::to_string(days) + "&maxposts=" + std::to_string(maxPosts);
}

std::string glintwatchPath(std::string_view user, std::string_view password) {
    if (user.empty())
        return "/";
    return "/login.cgi?username=" + platform::percentEncode(user) +
           "&password=" + platform::percentEncode(password);
}

std::optional<ManagerItem> managerItem(std::string_view value) {
    const std::size_t first = value.find('-');
    const std::size_t second = first == std::string_view::npos ? first : value.find('-', first + 1);
    if (second == std::string_view::npos || value.find('-', second + 1) != std::string_view::npos)
        return std::nullopt;
    ManagerItem item{std::string(value.substr(0, first)),
                     std::string(value.substr(first + 1, second - first - 1)),
                     std::string(value.substr(second + 1))};
    if (item.provider.empty() || item.itemId.empty() || item.feedId.empty())
        return std::nullopt;
    return item;
}

std::string importListXml(const std::vector<ManagerItem>& items, std::string_view userId,
                          std::string_view user, std::string_view password) {
    std::string out;
    auto line = [&](std::string_view text) {
        out += text;
        out += kCrLf;
    };
    line("<?xml version=\"1.0\"?>");
    line("<!DOCTYPE userdata SYSTEM \"importoutput.dtd\">");
    line("<import>");
    for (const ManagerItem& item : items) {
        line("<item>");
        element(out, "provider", item.provider);
        out += kCrLf;
        element(out, "itemid", item.itemId);
        out += kCrLf;
        element(out, "userid", userId);
        out += kCrLf;
        element(out, "feedid", item.feedId);
        element(out, "username", user);
        element(out, "password", password);
        out += kCrLf;
        line("</item>");
    }
    out += "</import>";
    return out;
}

std::vector<NewsItem> newsItemsOfAnswer(std::string_view answer) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(answer.data(), answer.size());
    if (!parsed)
        throw ImportAnswerError("The web service's answer to the import could not be read (" +
                                std::string(parsed.description()) +
                                "). No resources were imported.");
    std::vector<NewsItem> items;
    for (const pugi::xpath_node& found : doc.select_nodes("BLAH/NEWSFEED")) {
        const pugi::xml_node node = found.node();
        items.push_back(NewsItem{innerXml(node, "URL"), innerXml(node, "FEEDTITLE"),
                                 innerXml(node, "SITE_NAME"), innerXml(node, "SITE_URL"),
                                 innerXml(node, "BODYTEXT")});
    }
    return items;
}

std::string listedMatch(std::string_view body) {
    const std::string text = platform::replacedAll(body, "+", " ");
    constexpr std::size_t kShown = 100;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue; // inside a character
        if (characters++ == kShown)
            return text.substr(0, i) + "...";
    }
    return text;
}

std::string importTimestamp() {
    return platform::currentStamp14();
}

} // namespace vellumite
