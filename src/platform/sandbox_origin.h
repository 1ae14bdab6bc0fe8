// A second web origin for content the editor must not trust: a generated site's preview, or
// pages of other hosts shown inside a form (each such use has an origin of its own).
#pragma once

#include "platform/local_server.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace platform {

// It listens on 127.0.0.1 on a port of its own, so the browser keeps its pages apart from the
// editor's: another origin can read nothing of the editor's pages, storage or frames. Every
// answer carries a sandboxing CSP, so the pages' scripts run in an opaque origin that cannot
// even read this one, and no Referer leaves it. Its paths carry a secret of its own
// ("/<secret>/<mount>/..."), which opens nothing but these pages: a page that reads its own
// address learns nothing of the editor's, and other users of the machine cannot read them.
class SandboxOrigin {
public:
    // Answers a GET or HEAD below a mount; `rest` is the decoded path after "<mount>/", `query`
    // the query as sent, without its "?".
    using Handler = std::function<void(const std::string& rest, const std::string& query,
                                       httplib::Response& response)>;

    explicit SandboxOrigin(ServerLimits limits = {});
    SandboxOrigin(const SandboxOrigin&) = delete;
    SandboxOrigin& operator=(const SandboxOrigin&) = delete;

    // Before start(): `handler` answers below "/<secret>/<name>/".
    void mount(const std::string& name, Handler handler);
    // Serves on a free port. Throws std::system_error when it cannot listen.
    void start();
    void stop();
    // "http://127.0.0.1:<port>/<secret>/<mount>/<relative, percent-encoded>"
    std::string address(std::string_view mount, std::string_view relative) const;
    // "http://127.0.0.1:<port>/<secret>/": what every address of this origin begins with.
    std::string base() const;

private:
    void answer(const httplib::Request& request, httplib::Response& response) const;

    const std::string m_secret;
    std::map<std::string, Handler> m_mounts;
    LocalServer m_server;
};

// A handler that serves the files beneath `folder`, names matched without regard to case.
SandboxOrigin::Handler servedFolder(std::filesystem::path folder);

} // namespace platform
