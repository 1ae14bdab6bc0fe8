// The checks every request to the local web server passes, as pure functions of its headers.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform::web {

// What the checks read of a request.
struct RequestFacts {
    std::string method;       // "GET", "POST", ...
    std::string target;       // path and query as sent: "/s/<token>/pane/webContent/x.html?a"
    std::string host;         // Host
    std::string origin;       // Origin
    std::string secFetchSite; // Sec-Fetch-Site
    std::string secFetchMode; // Sec-Fetch-Mode
    std::string secFetchDest; // Sec-Fetch-Dest
    std::string purpose;      // Sec-Purpose, else Purpose
    std::string referer;      // Referer
};

// Where a request that passed the checks goes.
enum class Route {
    Refused,   // answered with `status` and `reason`
    Shell,     // the shell page
    ShellFile, // shell/shell.js or shell/shell.css (`rest` holds the name)
    Channel,   // the page-operation channel (POST)
    Event,     // an event of the shell page (POST)
    Pick,      // a file chosen in a form of the shell page (POST; the query names the control)
    Pane,      // a page of a pane: `pane`, and its path in the app folder in `rest`
    File,      // a page of the app folder opened in a window of its own; `rest` decoded
    Mounted,   // a sandbox origin's page: `mount`, and the decoded path below it in `rest`
    NotFound,
};

struct Verdict {
    Route route = Route::Refused;
    int status = 0;          // for Refused
    std::string reason;      // for Refused
    std::string rest;        // what follows the route's prefix (see Route), decoded
    std::string pane;        // for Pane: the pane's name
    std::string mount;       // for Mounted: the mount's name
    std::string query;       // the query, without its "?"
    bool navigation = false; // a pane page loaded as a document (dispatched), not a sub-resource
};

// The Host header names this server: 127.0.0.1, localhost or [::1] with our port.
bool hostAllowed(std::string_view host, int port);
// "http://<host>", the origin our own pages send.
std::string originOf(std::string_view host);
// From our own pages: Sec-Fetch-Site "same-origin", or, when a browser sends no such header,
// a Referer of our origin.
bool fromOurPages(const RequestFacts& request);
// A prefetch or prerender, which must never run a page command.
bool isPrefetch(const RequestFacts& request);
// A document load (top level or frame) rather than a script, style or image.
bool isNavigation(const RequestFacts& request);
// Bytes below 0x20 and 0x7f, which no name or command of ours holds.
bool hasControlBytes(std::string_view text);

// Every check in its order: Host, the token (constant time), the method, the route, the
// origin rules of the route. `port` is the server's; `token` the editor's secret.
Verdict checkRequest(const RequestFacts& request, std::string_view token, int port);

// The checks of a sandbox origin (sandbox_origin.h): Host, GET or HEAD only, and the path
// "/<secret>/<mount>/<rest>" with the origin's own secret (constant time).
Verdict checkSandboxRequest(const RequestFacts& request, std::string_view secret, int port);

// The Content-Type a file is served with, by its extension.
std::string contentType(const std::filesystem::path& file);

// A page command clicked in a pane, which the shell page sends as an event instead of loading
// it: the link's full address ("http://127.0.0.1:<port>/s/<token>/pane/<pane>/<path>?<query>"),
// split and decoded exactly as a load of that address would be. Nothing for an address of
// another origin, with a wrong token, outside the panes, or with control bytes.
struct PaneLink {
    std::string pane;
    std::string relative; // decoded path below the app folder
    std::string query;    // without its "?"
};
std::optional<PaneLink> paneLink(std::string_view url, std::string_view origin,
                                 std::string_view token);

// The address a pane's navigation is handed to the logic as: the file of the app folder that
// `relative` names, with the query as it came.
std::string appAddress(const std::filesystem::path& appFolder, std::string_view relative,
                       std::string_view query);

// Compares without revealing through its timing where the first difference lies.
bool constantTimeEqual(std::string_view a, std::string_view b);

} // namespace platform::web
