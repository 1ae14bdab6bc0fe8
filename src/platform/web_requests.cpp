// The request checks of the local web server.
#include "platform/web_requests.h"

#include "platform/text.h"

#include <map>
#include <variant>

namespace platform::web {

namespace {

constexpr std::string_view kNotFromUs = "Refused: not from this editor's pages.";

Verdict refused(int status, std::string reason) {
    Verdict v;
    v.route = Route::Refused;
    v.status = status;
    v.reason = std::move(reason);
    return v;
}

Verdict routed(Route route, std::string rest = {}) {
    Verdict v;
    v.route = route;
    v.rest = std::move(rest);
    return v;
}

// "<pane>/<path>" of a pane address: the pane and the decoded path. Refused (400) with control
// bytes or a malformed escape, not found without a path.
std::variant<PaneLink, Verdict> splitPane(std::string_view rest, std::string_view query) {
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return routed(Route::NotFound);
    auto relative = percentDecode(rest.substr(slash + 1));
    if (!relative || hasControlBytes(*relative) || hasControlBytes(query))
        return refused(400, "Bad address.");
    return PaneLink{std::string(rest.substr(0, slash)), std::move(*relative), std::string(query)};
}

Verdict checkPane(const RequestFacts& request, std::string_view rest, std::string_view query) {
    auto split = splitPane(rest, query);
    if (auto* verdict = std::get_if<Verdict>(&split))
        return *verdict;
    if (!fromOurPages(request) || isPrefetch(request))
        return refused(403, std::string(kNotFromUs));
    auto& link = std::get<PaneLink>(split);
    Verdict v = routed(Route::Pane, std::move(link.relative));
    v.pane = std::move(link.pane);
    v.navigation = isNavigation(request);
    return v;
}

// "/s/<token>/" at the start of `path`, the token compared in constant time: what follows.
std::optional<std::string_view> afterToken(std::string_view path, std::string_view token) {
    if (path.size() < 4 + token.size() || path.substr(0, 3) != "/s/" ||
        !constantTimeEqual(path.substr(3, token.size()), token) || path[3 + token.size()] != '/')
        return std::nullopt;
    return path.substr(4 + token.size());
}

Verdict checkGet(const RequestFacts& request, std::string_view rest, std::string_view query) {
    if (rest.empty() || rest == "index.html")
        return routed(Route::Shell);
    if (rest.substr(0, 6) == "shell/") {
        std::string_view name = rest.substr(6);
        return name == "shell.js" || name == "shell.css"
                   ? routed(Route::ShellFile, std::string(name))
                   : routed(Route::NotFound);
    }
    if (rest.substr(0, 5) == "pane/")
        return checkPane(request, rest.substr(5), query);
    auto decoded = percentDecode(rest);
    if (!decoded || hasControlBytes(*decoded))
        return refused(400, "Bad address.");
    if (decoded->substr(0, 5) == "file/") {
        // Pages of the app folder opened in a window of their own: served, never dispatched.
        if (!fromOurPages(request))
            return refused(403, std::string(kNotFromUs));
        return routed(Route::File, decoded->substr(5));
    }
    return routed(Route::NotFound);
}

} // namespace

bool hostAllowed(std::string_view host, int port) {
    const std::string p = ":" + std::to_string(port);
    return host == "127.0.0.1" + p || host == "localhost" + p || host == "[::1]" + p;
}

std::string originOf(std::string_view host) {
    return "http://" + std::string(host);
}

bool fromOurPages(const RequestFacts& request) {
    if (!request.secFetchSite.empty())
        return request.secFetchSite == "same-origin";
    const std::string mine = originOf(request.host) + "/";
    return request.referer.compare(0, mine.size(), mine) == 0;
}

bool isPrefetch(const RequestFacts& request) {
    return request.purpose.find("prefetch") != std::string::npos ||
           request.purpose.find("prerender") != std::string::npos;
}

bool isNavigation(const RequestFacts& request) {
    if (!request.secFetchMode.empty())
        return request.secFetchMode == "navigate" || request.secFetchMode == "nested-navigate";
    return request.secFetchDest == "document" || request.secFetchDest == "iframe" ||
           request.secFetchDest == "frame";
}

bool hasControlBytes(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

bool constantTimeEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

namespace {

constexpr std::string_view kForeignHost = "This server answers only to its own address.";

} // namespace

Verdict checkRequest(const RequestFacts& request, std::string_view token, int port) {
    if (!hostAllowed(request.host, port))
        return refused(421, std::string(kForeignHost));
    std::string_view target = request.target;
    const std::size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    std::string_view query = question == std::string_view::npos ? "" : target.substr(question + 1);
    auto after = afterToken(path, token);
    if (!after)
        return refused(404, "Not found.");
    std::string_view rest = *after;
    Verdict verdict;
    if (request.method == "POST") {
        // Our own pages only: a POST always carries its Origin.
        if (request.origin != originOf(request.host))
            return refused(403, std::string(kNotFromUs));
        if (rest == "channel")
            verdict = routed(Route::Channel);
        else if (rest == "event")
            verdict = routed(Route::Event);
        else if (rest == "pick")
            verdict = routed(Route::Pick);
        else
            return refused(404, "Not found.");
    } else if (request.method != "GET" && request.method != "HEAD") {
        return refused(405, "Method not allowed.");
    } else {
        verdict = checkGet(request, rest, query);
    }
    verdict.query = std::string(query);
    return verdict;
}

Verdict checkSandboxRequest(const RequestFacts& request, std::string_view secret, int port) {
    if (!hostAllowed(request.host, port))
        return refused(421, std::string(kForeignHost));
    if (request.method != "GET" && request.method != "HEAD")
        return refused(405, "Method not allowed.");
    std::string_view path = request.target;
    path = path.substr(0, path.find('?'));
    // "/<secret>/<mount>/<rest>"
    if (path.size() < 2 + secret.size() || path[0] != '/' ||
        !constantTimeEqual(path.substr(1, secret.size()), secret) || path[1 + secret.size()] != '/')
        return refused(404, "Not found.");
    std::string_view below = path.substr(2 + secret.size());
    const std::size_t slash = below.find('/');
    if (slash == std::string_view::npos)
        return routed(Route::NotFound);
    auto rest = percentDecode(below.substr(slash + 1));
    if (!rest || hasControlBytes(*rest))
        return refused(400, "Bad address.");
    Verdict v = routed(Route::Mounted, std::move(*rest));
    v.mount = std::string(below.substr(0, slash));
    const std::size_t question = request.target.find('?');
    if (question != std::string::npos)
        v.query = request.target.substr(question + 1);
    return v;
}

std::string contentType(const std::filesystem::path& file) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".xml", "application/xml"},
        {".txt", "text/plain; charset=utf-8"},
        {".gif", "image/gif"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".woff2", "font/woff2"},
    };
    auto it = types.find(asciiLower(file.extension().string()));
    return it == types.end() ? "application/octet-stream" : it->second;
}

std::optional<PaneLink> paneLink(std::string_view url, std::string_view origin,
                                 std::string_view token) {
    if (url.substr(0, origin.size()) != origin)
        return std::nullopt;
    std::string_view target = url.substr(origin.size());
    target = target.substr(0, target.find('#')); // the fragment never reaches a server
    const std::size_t question = target.find('?');
    std::string_view query = question == std::string_view::npos ? "" : target.substr(question + 1);
    auto rest = afterToken(target.substr(0, question), token);
    if (!rest || rest->substr(0, 5) != "pane/")
        return std::nullopt;
    auto split = splitPane(rest->substr(5), query);
    if (auto* link = std::get_if<PaneLink>(&split))
        return std::move(*link);
    return std::nullopt;
}

std::string appAddress(const std::filesystem::path& appFolder, std::string_view relative,
                       std::string_view query) {
    std::string address = (appFolder / relative).string();
    if (!query.empty())
        address += "?" + std::string(query);
    return address;
}

} // namespace platform::web
