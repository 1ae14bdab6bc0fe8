// The local server's checks against hostile requests: each must be refused with its reason,
// and our own pages must pass. The plainest refusals (no or a wrong token, a foreign Host, a
// cross-site link, a prefetch, a post without Origin) are asserted against the running server
// by the browser test of security.
#include "platform/web_requests.h"

#include <gtest/gtest.h>

using namespace platform::web;

namespace {

const std::string kToken(64, 'a');
constexpr int kPort = 8123;

// A frame navigation of our own shell page, which every case changes in one way.
RequestFacts ourFrameLoad(std::string path) {
    RequestFacts r;
    r.method = "GET";
    r.target = "/s/" + kToken + "/" + path;
    r.host = "127.0.0.1:8123";
    r.secFetchSite = "same-origin";
    r.secFetchMode = "navigate";
    r.secFetchDest = "iframe";
    return r;
}

} // namespace

TEST(WebRequests, HostileRequestsAreRefusedWithTheirReason) {
    auto with = [](RequestFacts r, auto change) {
        change(r);
        return r;
    };
    const RequestFacts command = ourFrameLoad("pane/webContent/html/x.html%3C$delete-1$%3E");
    const std::tuple<const char*, RequestFacts, int> cases[] = {
        {"another port in Host", with(command, [](auto& r) { r.host = "127.0.0.1:80"; }), 421},
        {"the token without its slash",
         with(command, [](auto& r) { r.target = "/s/" + kToken + "x/"; }), 404},
        {"no fetch headers and a foreign Referer",
         with(command,
              [](auto& r) {
                  r.secFetchSite = "";
                  r.referer = "http://127.0.0.1:8123.evil.test/";
              }),
         403},
        {"NUL in the path",
         with(command, [](auto& r) { r.target = "/s/" + kToken + "/pane/webContent/a%00b"; }), 400},
        {"CR LF in the query",
         with(command,
              [](auto& r) {
                  r.target += "?x=%0d%0aQUIT";
                  r.target += "\r";
              }),
         400},
        {"a broken escape",
         with(command, [](auto& r) { r.target = "/s/" + kToken + "/pane/webContent/%G1"; }), 400},
        {"a POST from another origin",
         with(command,
              [](auto& r) {
                  r.method = "POST";
                  r.target = "/s/" + kToken + "/event";
                  r.origin = "http://evil.test";
              }),
         403},
        {"PUT", with(command, [](auto& r) { r.method = "PUT"; }), 405},
        {"a window page from elsewhere",
         with(ourFrameLoad("file/html/help.html"), [](auto& r) { r.secFetchSite = "none"; }), 403},
    };
    for (const auto& [what, request, status] : cases) {
        const Verdict v = checkRequest(request, kToken, kPort);
        EXPECT_EQ(v.route, Route::Refused) << what;
        EXPECT_EQ(v.status, status) << what << ": " << v.reason;
    }
}

TEST(WebRequests, OurOwnRequestsAreRouted) {
    const Verdict command = checkRequest(
        ourFrameLoad("pane/webContent/html/x.html%3C$delete-1$%3E?a=1"), kToken, kPort);
    EXPECT_EQ(command.route, Route::Pane);
    EXPECT_EQ(command.pane, "webContent");
    EXPECT_EQ(command.rest, "html/x.html<$delete-1$>");
    EXPECT_EQ(command.query, "a=1");
    EXPECT_TRUE(command.navigation);

    RequestFacts style = ourFrameLoad("pane/webContent/html/editor.css");
    style.secFetchMode = "no-cors";
    style.secFetchDest = "style";
    EXPECT_FALSE(checkRequest(style, kToken, kPort).navigation) << "a sub-resource runs nothing";

    // Older browsers send no fetch metadata: a Referer of our origin stands in for it.
    RequestFacts old = ourFrameLoad("pane/webSetup/html/setup.html");
    old.secFetchSite = old.secFetchMode = old.secFetchDest = "";
    old.referer = "http://127.0.0.1:8123/s/" + kToken + "/";
    EXPECT_EQ(checkRequest(old, kToken, kPort).route, Route::Pane);

    RequestFacts event = ourFrameLoad("event");
    event.method = "POST";
    event.origin = "http://localhost:8123";
    event.host = "localhost:8123";
    EXPECT_EQ(checkRequest(event, kToken, kPort).route, Route::Event);
    event.target = "/s/" + kToken + "/pick?form=frmImage";
    EXPECT_EQ(checkRequest(event, kToken, kPort).route, Route::Pick);
    event.origin = "http://127.0.0.1:9999";
    EXPECT_EQ(checkRequest(event, kToken, kPort).status, 403) << "a file only from our pages";

    EXPECT_EQ(checkRequest(ourFrameLoad(""), kToken, kPort).route, Route::Shell);
    EXPECT_EQ(checkRequest(ourFrameLoad("shell/shell.js"), kToken, kPort).route, Route::ShellFile);
    EXPECT_EQ(checkRequest(ourFrameLoad("shell/other.js"), kToken, kPort).route, Route::NotFound);
    // Previews come from a sandbox origin, never from the editor's.
    EXPECT_EQ(checkRequest(ourFrameLoad("preview/index.html"), kToken, kPort).route,
              Route::NotFound);
}

TEST(WebRequests, ASandboxOriginAnswersUnderItsOwnSecretOnly) {
    const std::string secret(64, 'c');
    RequestFacts r = ourFrameLoad("");
    auto check = [&](std::string target, std::string method = "GET") {
        r.target = std::move(target);
        r.method = std::move(method);
        return checkSandboxRequest(r, secret, kPort);
    };
    EXPECT_EQ(check("/s/" + kToken + "/preview/x.html").status, 404) << "the editor's token";
    EXPECT_EQ(check("/" + secret + "/preview/x.html", "POST").status, 405);
    const Verdict page = check("/" + secret + "/preview/item%201.html?x=1", "HEAD");
    EXPECT_EQ(page.route, Route::Mounted);
    EXPECT_EQ(page.mount, "preview");
    EXPECT_EQ(page.rest, "item 1.html");
    EXPECT_EQ(page.query, "x=1");
    r.host = "evil.test:8123";
    EXPECT_EQ(check("/" + secret + "/preview/x.html").status, 421);
}

TEST(WebRequests, ACommandClickedInAPaneIsReadAsItsLoadWouldBe) {
    const std::string origin = "http://127.0.0.1:8123";
    const std::string ours = origin + "/s/" + kToken + "/";
    const std::tuple<const char*, std::string, std::optional<PaneLink>> cases[] = {
        {"a command of a frame", ours + "pane/webContent/html/%3C$delete-7$%3E",
         PaneLink{"webContent", "html/<$delete-7$>", ""}},
        {"its query kept, its fragment dropped", ours + "pane/webFrontpage/html/x.html?a=%3C$#top",
         PaneLink{"webFrontpage", "html/x.html", "a=%3C$"}},
        {"another origin", "http://127.0.0.1:8124/s/" + kToken + "/pane/webContent/html/x", {}},
        {"a wrong token", origin + "/s/" + std::string(64, 'b') + "/pane/webContent/html/x", {}},
        {"not a pane", ours + "preview/%3C$quit$%3E", {}},
        {"a pane without a page", ours + "pane/webContent", {}},
        {"a line break", ours + "pane/webContent/html/%0A%3C$quit$%3E", {}},
    };
    for (const auto& [what, url, expected] : cases) {
        auto link = paneLink(url, origin, kToken);
        ASSERT_EQ(link.has_value(), expected.has_value()) << what;
        if (link) {
            EXPECT_EQ(link->pane, expected->pane) << what;
            EXPECT_EQ(link->relative, expected->relative) << what;
            EXPECT_EQ(link->query, expected->query) << what;
        }
    }
    EXPECT_EQ(appAddress("/data", "html/<$delete-7$>", ""), "/data/html/<$delete-7$>");
    EXPECT_EQ(appAddress("/data", "html/newlog.html", "newLogName=x"),
              "/data/html/newlog.html?newLogName=x");
}
