// Wrapping the post box's selection and quoting items into the post.
#include "editor/post_tools.h"

#include "core/post_dialogs.h"
#include "core/post_insert.h"
#include "platform/text.h"
#include "store/readers.h"

namespace vellumite {

namespace {

struct Wrapping {
    std::string_view open;
    std::string_view close;
    bool sayWhenEmpty; // the block quote has always done nothing silently
};

Wrapping wrapping(WrapTool tool) {
    switch (tool) {
    case WrapTool::Bold:
        return {"<b>", "</b>", true};
    case WrapTool::Italic:
        return {"<i>", "</i>", true};
    case WrapTool::Underline:
        return {"<u>", "</u>", true};
    case WrapTool::BlockQuote:
        break;
    }
    return {"<blockquote>", "</blockquote>", false};
}

// Puts `open` and `close` around the post box's selection. False when nothing is selected.
bool wrapPostSelection(AppState& app, std::string_view open, std::string_view close) {
    platform::Document doc = postDocument(app);
    const platform::FieldSelection selected = doc.fieldSelection(std::string(kPostForm), kPostBox);
    if (selected.text.empty())
        return false;
    doc.replaceFieldRange(std::string(kPostForm), kPostBox, selected,
                          std::string(open) + selected.text + std::string(close));
    return true;
}

void sayNoTextSelected(AppState& app) {
    app.host.msgBox(kNoTextSelected, "Vellumite");
}

std::string plusAsSpace(std::string_view text) {
    return platform::replacedAll(text, "+", " ");
}

} // namespace

void subWrapSelection(AppState& app, WrapTool tool) {
    const Wrapping w = wrapping(tool);
    if (!wrapPostSelection(app, w.open, w.close) && w.sayWhenEmpty)
        sayNoTextSelected(app);
}

void subSetLink(AppState& app) {
    const std::string address = postDocument(app).fieldValue("linkurlfrm", "linkurltext");
    if (!wrapPostSelection(app, "<a href=" + address + ">", "</a>"))
        sayNoTextSelected(app);
}

bool postTextSelected(AppState& app) {
    if (!postDocument(app).fieldSelection(std::string(kPostForm), kPostBox).text.empty())
        return true;
    sayNoTextSelected(app);
    return false;
}

std::optional<int> keepImagePlace(AppState& app) {
    platform::Document doc = postDocument(app);
    if (doc.selection().parentName != kPostBox) {
        app.host.msgBox(kCursorNotInPost, "Vellumite");
        return std::nullopt;
    }
    return doc.saveSelection();
}

std::string quotedBody(std::string_view body, std::string_view quote) {
    const std::string text = body.empty() ? std::string(" ") : std::string(body);
    std::size_t at = text.find(kPopupBlockStart);
    std::string out = text.substr(0, at);
    out += "\r<blockquote><i>";
    out += quote;
    out += "</i></blockquote>";
    while (at != std::string::npos) {
        const std::size_t from = at + kPopupBlockStart.size();
        at = text.find(kPopupBlockStart, from);
        out += "\r\r\r";
        out += kPopupBlockStart;
        out += text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    }
    return out;
}

void subQuoteIntoPost(AppState& app, std::string_view quote, std::string_view address) {
    offerLinkAddress(app, std::string(address));
    platform::Document doc = postDocument(app);
    const std::string body = doc.fieldValue(std::string(kPostForm), kPostBox);
    doc.setFieldValue(std::string(kPostForm), kPostBox, quotedBody(body, quote));
    doc.scrollIntoView(kPostBox);
}

void subQuoteNewsAlert(AppState& app, std::int32_t alertId) {
    auto item = app.db().openRecordset(
        "SELECT title, body, url FROM vellumitenewsfeeds WHERE alertid=?", {alertId});
    if (item.eof()) {
        app.host.msgBox("The news alert " + std::to_string(alertId) + " no longer exists.",
                        "Vellumite");
        return;
    }
    const std::string quote =
        plusAsSpace(readText(item["title"])) + "\r" + plusAsSpace(readText(item["body"])) + "\r";
    subQuoteIntoPost(app, quote, plusAsSpace(readText(item["url"])));
}

} // namespace vellumite
