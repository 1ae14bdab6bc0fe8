// The Captures section and its commands.
#include "editor/captures.h"

#include "core/content_page.h"
#include "core/fill_engine.h"
#include "core/page_text.h"
#include "editor/post_tools.h"
#include "store/databases.h"
#include "store/readers.h"

namespace vellumite {

void subBuildToolbarItems(AppState& app) {
    ListPage page(app.appFolder, "template-toolbar.html", "Toolbar",
                  {"<$VellumiteNewsLinkText$>", "<$ToolbarID$>", "<$VellumiteNewsBody$>"});
    withToolbarDatabase(app.appFolder, [&](platform::Database& db) {
        auto items = db.openRecordset("SELECT captureID, captureURL, capturetext FROM captureItems "
                                      "ORDER BY captureID");
        for (; !items.eof(); items.moveNext())
            page.add({listText(readText(items["captureURL"])), readText(items["captureID"]),
                      listText(readText(items["capturetext"]))});
    });
    page.expand();
    page.write("toolbar.html");
}

void subShowToolbarItems(AppState& app) {
    subBuildToolbarItems(app);
    showSection(app, section::Toolbar, "toolbar.html");
}

void subQuoteCapture(AppState& app, std::int32_t captureId) {
    struct Capture {
        bool found = false;
        std::string text;
        std::string address;
    };
    const Capture capture = withToolbarDatabase(app.appFolder, [&](platform::Database& db) {
        auto item = db.openRecordset(
            "SELECT capturetext, captureURL FROM captureItems WHERE captureID=?", {captureId});
        if (item.eof())
            return Capture{};
        return Capture{true, readText(item["capturetext"]), readText(item["captureURL"])};
    });
    if (!capture.found) {
        app.host.msgBox("The captured item " + std::to_string(captureId) + " no longer exists.",
                        "Vellumite");
        return;
    }
    subQuoteIntoPost(app, capture.text, capture.address);
}

void subDeleteCapture(AppState& app, std::int32_t captureId) {
    if (app.host.msgBox("Are you sure you wish to delete this item?", "Delete item?",
                        platform::MsgButtons::YesNo) != platform::MsgResult::Yes)
        return;
    withToolbarDatabase(app.appFolder, [&](platform::Database& db) {
        db.execute("DELETE FROM captureItems WHERE captureID=?", {captureId});
    });
    subShowToolbarItems(app);
}

} // namespace vellumite
