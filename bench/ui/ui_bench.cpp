// Serves the editor's content pane with a list page rebuilt on every "<$shownext-N" click.
// Prints "ADDRESS <url>" and runs until stdin closes. Driven by click.mjs (see README.md).
#include "core/app_state.h"
#include "core/page_commands.h"
#include "core/panes.h"
#include "platform/files.h"
#include "platform/web_host.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vellumite;

namespace {

// What a list command does: fill a template with ten rows, write the page whole, show it.
void rebuildList(CommandContext& ctx) {
    std::string rows;
    for (int i = 1; i <= 10; ++i) {
        int post = (ctx.key - 1) * 10 + i;
        rows += "<li><a href=\"<$edit-" + std::to_string(post) + "$>\">Post number " +
                std::to_string(post) + "</a> <span class=hint>2026-12-06 12:00:00</span></li>\n";
    }
    std::string page =
        "<!doctype html><html><head><meta charset=utf-8>"
        "<link rel=stylesheet href=vellumite.css></head><body class=panel data-set=\"" +
        std::to_string(ctx.key) + "\"><h1>Set " + std::to_string(ctx.key) + "</h1><ul class=list>" +
        rows + "</ul></body></html>";
    fs::path file = ctx.app.htmlFile("currentposts.html");
    platform::files::writeFileAtomic(file, page);
    ctx.app.host.pane(pane::Content).document().frame(0).navigate(file);
}

} // namespace

int main() {
    char pattern[] = "/tmp/vellumite-bench-ui-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    fs::path folder = pattern;
    fs::create_directories(folder / "html");
    fs::copy_file(fs::path(VELLUMITE_SOURCE_SHARE) / "html/vellumite.css",
                  folder / "html/vellumite.css");
    platform::files::writeFileAtomic(
        folder / "html/contentedit.html",
        "<!doctype html><html><head><meta charset=utf-8><link rel=stylesheet href=vellumite.css>"
        "</head><body class=panel><a id=next href=\"<$shownext-1$>\">Next</a>"
        "<iframe src=\"about:blank\" style=\"width:100%;height:80vh\"></iframe></body></html>");

    platform::EventLoop loop;
    platform::WebHostOptions options;
    options.appFolder = folder;
    options.shellFolder = fs::path(VELLUMITE_SOURCE_SHARE) / "html/shell";
    options.paneNames.assign(kPaneNames.begin(), kPaneNames.end());
    options.caption = "Vellumite Editor";
    platform::WebHost host(loop, options);
    host.start();

    AppState app(loop, host, folder, Settings{});
    CommandHandlers handlers;
    handlers.showPostSet = rebuildList;
    Dispatcher dispatcher(app, handlers);
    host.onBeforeNavigate(
        [&](const std::string& p, const std::string& a, const std::function<void(bool)>& decided) {
            return dispatcher.beforeNavigate(p, a, decided);
        });
    showPane(app, pane::Content, app.htmlFile("contentedit.html"));

    // Ends when the driver closes our stdin.
    loop.watchFd(0, POLLIN, [&](short) {
        char buf[256];
        if (::read(0, buf, sizeof buf) <= 0)
            loop.quit();
    });
    std::cout << "ADDRESS " << host.address() << std::endl;
    loop.run();
    host.stop();
    fs::remove_all(folder);
    return 0;
}
