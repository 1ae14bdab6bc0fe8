// Building pop-up link blocks.
#include "editor/popup_links.h"

#include "core/post_insert.h"
#include "platform/text.h"
#include "store/readers.h"

#include <algorithm>

namespace vellumite {

using platform::replaceAll;

namespace {

constexpr std::string_view kBlockMarker = "<!-- ---------------- -->";
// The link this editor writes, and the shorter form of earlier versions.
constexpr std::string_view kAnchorStarts[] = {"<a href=javascript: ; onmouseup=javascript:mlink",
                                              "<a href=javascript:mlink"};

std::string withoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

// A backslash goes first, so that the ones added for quotes are not doubled.
std::string quotesEscaped(std::string_view text) {
    std::string out = withoutLineBreaks(text);
    replaceAll(out, "\\", "\\\\");
    replaceAll(out, "\"", "\\\"");
    replaceAll(out, "'", "\\'");
    return out;
}

// Inside a script element "</" could close it and "<!--" changes how it ends; escaped, a
// JavaScript string reads both as they were.
void scriptSafe(std::string& text) {
    replaceAll(text, "</", "<\\/");
    replaceAll(text, "<!--", "<\\!--");
}

std::size_t findAnchor(const std::string& text) {
    std::size_t first = std::string::npos;
    for (std::string_view start : kAnchorStarts)
        first = std::min(first, text.find(start));
    return first;
}

// Each earlier pop-up link becomes the text between its tag and its "</a>".
void reduceAnchors(std::string& text) {
    for (std::size_t at = findAnchor(text); at != std::string::npos; at = findAnchor(text)) {
        const std::size_t tagEnd = text.find('>', at);
        if (tagEnd == std::string::npos) {
            text.erase(at);
            break;
        }
        const std::size_t close = text.find("</a>", tagEnd);
        if (close == std::string::npos) {
            text.erase(at, tagEnd + 1 - at); // no end: the tag alone goes
            continue;
        }
        text.replace(at, close + 4 - at, text.substr(tagEnd + 1, close - tagEnd - 1));
    }
}

// Each earlier block goes, markers included; one without its closing marker goes to the end.
void removeBlocks(std::string& text) {
    for (std::size_t at = text.find(kBlockMarker); at != std::string::npos;
         at = text.find(kBlockMarker)) {
        const std::size_t next = text.find(kBlockMarker, at + kBlockMarker.size());
        text.erase(at,
                   next == std::string::npos ? std::string::npos : next + kBlockMarker.size() - at);
    }
}

} // namespace

std::string popupScriptText(std::string_view stored) {
    std::string text = quotesEscaped(stored);
    scriptSafe(text);
    return text;
}

std::string popupBody(std::string_view posttext) {
    std::string body = quotesEscaped(posttext);
    reduceAnchors(body);
    removeBlocks(body);
    scriptSafe(body);
    return body;
}

std::string popupAnchor(std::int32_t postId, std::string_view selected) {
    return "<a href=javascript: ; onmouseup=javascript:mlink" + std::to_string(postId) + "();>" +
           std::string(selected) + "</a>";
}

std::string popupBlock(std::int32_t postId, std::string_view title, std::string_view body) {
    const std::string n = std::to_string(postId);
    const std::string t(title);
    const std::string b(body);
    return "\r\r\r\r"
           "<!-- ---------------- -->"
           "<!-- Vellumite MLink -->"
           "<DIV id='VellumiteMLink" +
           n + "' class='mLinkHide'></DIV> " + "<script language='javascript'>" + "function mlink" +
           n + "(){" + "var layer1 = document.getElementById('VellumiteMLink" + n + "');" +
           "layer1.className = 'mLinkShow';" +
           "if (navigator.appName == 'Microsoft Internet Explorer'){" +
           "mX = event.clientX+ document.body.scrollLeft;" +
           "mY = event.clientY + document.body.scrollTop;}else {" + "mX = e.pageX; mY = e.pageY;}" +
           "layer1.style.pixelTop = mY  ; layer1.style.pixelLeft = mX ;" + "layer1.innerHTML = '" +
           t + "<BR> " + b + "<BR> " + "<a href=\"javascript:hideMlink" + n + "();\">Done</a>';" +
           "}" + "function hideMlink" + n + "(){" +
           "var layer1 = document.getElementById('VellumiteMLink" + n + "');" +
           "layer1.className = 'mLinkHide';}" + "</script>" + "<!-- End Vellumite MLink -->" +
           "<!-- ---------------- -->";
}

void subAnchorTo(AppState& app, std::int32_t postId) {
    auto post = app.db().openRecordset(
        "SELECT posttitle, posttext FROM VellumitePosts WHERE LogID=? AND postID=?",
        {app.logId, postId});
    if (post.eof()) {
        app.host.msgBox("The post " + std::to_string(postId) + " no longer exists.", "Vellumite");
        return;
    }
    const std::string title = popupScriptText(readText(post["posttitle"]));
    const std::string body = popupBody(readText(post["posttext"]));

    platform::Document doc = postDocument(app);
    doc.setClassName("anchor", "anchorpopuphide");
    const platform::FieldSelection selected = doc.fieldSelection(std::string(kPostForm), kPostBox);
    if (selected.text.empty())
        return;
    doc.replaceFieldRange(std::string(kPostForm), kPostBox, selected,
                          popupAnchor(postId, selected.text));
    doc.appendFieldText(std::string(kPostForm), kPostBox, popupBlock(postId, title, body));
}

} // namespace vellumite
