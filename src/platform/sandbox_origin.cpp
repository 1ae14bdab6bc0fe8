// The sandbox origin: its checks, its headers and the folders it serves.
#include "platform/sandbox_origin.h"

#include "platform/files.h"
#include "platform/text.h"
#include "platform/web_requests.h"

namespace platform {

namespace {

void notFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("Not found.\n", "text/plain; charset=utf-8");
}

} // namespace

SandboxOrigin::SandboxOrigin(ServerLimits limits) : m_secret(randomHexToken()), m_server(limits) {}

void SandboxOrigin::mount(const std::string& name, Handler handler) {
    m_mounts[name] = std::move(handler);
}

void SandboxOrigin::start() {
    m_server.set_default_headers({
        // Scripts run, popups open, and nothing else: an opaque origin, no forms, no top
        // navigation, no reaching into the window that opened it.
        {"Content-Security-Policy", "sandbox allow-scripts allow-popups"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    });
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        answer(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
    const std::string prefix = "/" + m_secret + "/";
    m_server.setTrust(
        [prefix](const httplib::Request& req) { return req.target.starts_with(prefix); });
    m_server.start(0);
}

void SandboxOrigin::stop() {
    m_server.stop();
}

std::string SandboxOrigin::base() const {
    return "http://127.0.0.1:" + std::to_string(m_server.port()) + "/" + m_secret + "/";
}

std::string SandboxOrigin::address(std::string_view mount, std::string_view relative) const {
    return base() + percentEncodePath(mount) + "/" + percentEncodePath(relative);
}

void SandboxOrigin::answer(const httplib::Request& request, httplib::Response& response) const {
    web::RequestFacts facts;
    facts.method = request.method;
    facts.target = request.target;
    facts.host = request.get_header_value("Host");
    const web::Verdict verdict = web::checkSandboxRequest(facts, m_secret, m_server.port());
    if (verdict.route == web::Route::Refused) {
        response.status = verdict.status;
        response.set_content(verdict.reason + "\n", "text/plain; charset=utf-8");
        return;
    }
    auto handler = m_mounts.find(verdict.mount);
    if (verdict.route != web::Route::Mounted || handler == m_mounts.end())
        return notFound(response);
    handler->second(verdict.rest, verdict.query, response);
}

SandboxOrigin::Handler servedFolder(std::filesystem::path folder) {
    return [folder = std::move(folder)](const std::string& rest, const std::string&,
                                        httplib::Response& response) {
        auto file = files::resolveNoCase(folder, rest);
        std::error_code ec;
        if (!file || !std::filesystem::is_regular_file(*file, ec))
            return notFound(response);
        if (!serveFileContent(response, *file))
            notFound(response);
    };
}

} // namespace platform
