// The server-thread half of the web host: checks, routes, files, the channel and the events.
#include "platform/web_server.h"

#include "platform/files.h"
#include "platform/picked_file.h"
#include "platform/text.h"

#include <cstdlib>

namespace platform {

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPageCsp =
    "default-src 'self'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src * data:; media-src *; font-src 'self'; connect-src 'self'; frame-src *; "
    "frame-ancestors 'self'; form-action 'self'; base-uri 'self'; object-src 'none'";

const char* kNotFoundPage = "<!doctype html><meta charset=utf-8><title>Not found</title>"
                            "<link rel=stylesheet href=\"/s/%TOKEN%/shell/shell.css\">"
                            "<body class=plain><p>This page is not here.</p>";

} // namespace

ServerState::ServerState(EventLoop& loop_, WebHost& host_, std::shared_ptr<bool> alive_,
                         const WebHostOptions& options)
    : loop(loop_), host(&host_), alive(std::move(alive_)), token(randomHexToken()),
      appFolder(options.appFolder), shellFolder(options.shellFolder),
      servedFolders(options.servedFolders), previewFolder(options.previewFolder) {}

void ServerState::toLoop(std::function<void(WebHost&)> work) {
    loop.post([alive = std::weak_ptr<bool>(alive), host = host, work = std::move(work)] {
        auto flag = alive.lock();
        if (!flag || !*flag)
            return;
        // Nothing the logic throws may end the loop: it is shown, and the editor goes on.
        try {
            work(*host);
        } catch (const std::exception& e) {
            host->reportFailure(e.what());
        }
    });
}

void ServerState::refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

void ServerState::notFound(httplib::Response& res) {
    std::string page = kNotFoundPage;
    page.replace(page.find("%TOKEN%"), 7, token);
    res.status = 404;
    res.set_content(page, "text/html; charset=utf-8");
}

void ServerState::serveFile(httplib::Response& res, const fs::path& file) {
    if (!serveFileContent(res, file))
        notFound(res);
}

std::optional<fs::path> ServerState::appFile(const std::string& relative) const {
    const std::string top = relative.substr(0, relative.find('/'));
    bool allowed = false;
    for (const auto& folder : servedFolders)
        allowed = allowed || equalsNoCase(top, folder);
    if (!allowed)
        return std::nullopt;
    auto found = files::resolveNoCase(appFolder, relative);
    if (!found || !fs::is_regular_file(*found))
        return std::nullopt;
    // Generated pages belong to the sandbox origin: under ours, a script they name by a relative
    // address (the shell's own) would run as the editor.
    const fs::path inPreview = found->lexically_relative(previewFolder);
    if (!previewFolder.empty() && !inPreview.empty() && *inPreview.begin() != "..")
        return std::nullopt;
    return found;
}

namespace {

web::RequestFacts factsOf(const httplib::Request& req) {
    web::RequestFacts facts;
    facts.method = req.method;
    facts.target = req.target;
    facts.host = req.get_header_value("Host");
    facts.origin = req.get_header_value("Origin");
    facts.secFetchSite = req.get_header_value("Sec-Fetch-Site");
    facts.secFetchMode = req.get_header_value("Sec-Fetch-Mode");
    facts.secFetchDest = req.get_header_value("Sec-Fetch-Dest");
    facts.purpose = req.get_header_value("Sec-Purpose");
    if (facts.purpose.empty())
        facts.purpose = req.get_header_value("Purpose");
    facts.referer = req.get_header_value("Referer");
    return facts;
}

} // namespace

void ServerState::install() {
    server.set_default_headers({
        {"Content-Security-Policy", kPageCsp},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
        {"X-Frame-Options", "SAMEORIGIN"},
    });
    // A connection that carried our token is one of our pages': slow strangers never count
    // against it (local_server.h).
    const std::string ours = "/s/" + token + "/";
    server.setTrust([ours](const httplib::Request& req) {
        return req.target.size() >= ours.size() &&
               web::constantTimeEqual(std::string_view(req.target).substr(0, ours.size()), ours);
    });
    // Every request passes the checks here first (web_requests.h) and is routed by hand: the
    // token stays out of any pattern. An event that passed goes on to the one route of the
    // server's own, which reads its body.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const web::Verdict verdict = web::checkRequest(factsOf(req), token, port);
        if (verdict.route == web::Route::Event || verdict.route == web::Route::Pick)
            return httplib::Server::HandlerResponse::Unhandled;
        route(req, res, verdict);
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Post(
        "/s/" + token + "/event",
        [this](const httplib::Request& req, httplib::Response& res) { handleEventPost(req, res); });
    // A chosen file streams into its private folder, never whole into memory.
    server.Post("/s/" + token + "/pick",
                [this](const httplib::Request& req, httplib::Response& res,
                       const httplib::ContentReader& content) { handlePick(req, res, content); });
}

void ServerState::route(const httplib::Request& req, httplib::Response& res,
                        const web::Verdict& verdict) {
    switch (verdict.route) {
    case web::Route::Refused:
        refuse(res, verdict.status, verdict.reason);
        return;
    case web::Route::Shell:
        serveFile(res, shellFolder / "shell.html");
        return;
    case web::Route::ShellFile:
        serveFile(res, shellFolder / verdict.rest);
        return;
    case web::Route::Channel:
        handleChannel(res);
        return;
    case web::Route::Event:
        handleEventPost(req, res);
        return;
    case web::Route::Pick: // read by its own route
        notFound(res);
        return;
    case web::Route::Pane:
        handlePane(res, verdict);
        return;
    case web::Route::File: {
        auto file = appFile(verdict.rest);
        file ? serveFile(res, *file) : notFound(res);
        return;
    }
    case web::Route::Mounted: // a sandbox origin's route, never the editor's
    case web::Route::NotFound:
        notFound(res);
        return;
    }
}

void ServerState::handlePane(httplib::Response& res, const web::Verdict& verdict) {
    if (verdict.navigation) {
        std::string address = web::appAddress(appFolder, verdict.rest, verdict.query);
        auto decision = std::make_shared<Decision>();
        {
            std::lock_guard lock(channelsMutex);
            std::erase_if(decisions, [](const auto& d) { return d.expired(); });
            decisions.push_back(decision);
        }
        if (stopping)
            decision->set(true);
        toLoop([pane = verdict.pane, address, decision](WebHost& host) {
            // A failing handler still answers the page: it stays where it was.
            struct Answer {
                std::shared_ptr<Decision> decision;
                ~Answer() { decision->set(true); }
            } fallback{decision};
            bool cancel =
                host.handleNavigation(pane, address, [decision](bool c) { decision->set(c); });
            decision->set(cancel);
        });
        bool cancel = true;
        {
            std::unique_lock lock(decision->mutex);
            // The logic answers in microseconds unless it is inside a long piece of work; a
            // page that waits longer is left where it was.
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!decision->cancel && !stopping)
                if (decision->wake.wait_until(lock, deadline) == std::cv_status::timeout)
                    break;
            if (decision->cancel)
                cancel = *decision->cancel;
        }
        if (cancel) {
            res.status = 204; // the pane stays where it was
            return;
        }
    }
    auto file = appFile(verdict.rest);
    file ? serveFile(res, *file) : notFound(res);
}

void ServerState::endWaits() {
    stopping = true;
    std::lock_guard lock(channelsMutex);
    for (auto& c : channels)
        c->close();
    for (auto& d : decisions)
        if (auto decision = d.lock())
            decision->set(true);
}

void ServerState::handleChannel(httplib::Response& res) {
    auto channel = std::make_shared<WebHost::Channel>();
    channel->id = nextChannel++;
    {
        std::lock_guard lock(channelsMutex);
        channels.push_back(channel);
    }
    toLoop([channel](WebHost& host) { host.attachChannel(channel); });
    res.status = 200;
    res.set_chunked_content_provider(
        "application/x-ndjson",
        [this, channel](std::size_t, httplib::DataSink& sink) {
            std::deque<std::string> out;
            {
                std::unique_lock lock(channel->mutex);
                channel->wake.wait_for(lock, std::chrono::seconds(15), [&] {
                    return channel->closed || !channel->lines.empty() || stopping;
                });
                if (channel->closed || stopping) {
                    lock.unlock();
                    sink.done();
                    return true;
                }
                out.swap(channel->lines);
            }
            if (out.empty())
                out.push_back("{\"op\":\"ping\"}\n"); // finds a page that went away
            std::string batch;
            for (auto& line : out)
                batch += line;
            return sink.write(batch.data(), batch.size());
        },
        [this, channel](bool) {
            channel->close();
            {
                std::lock_guard lock(channelsMutex);
                std::erase(channels, channel);
            }
            toLoop([channel](WebHost& host) { host.detachChannel(channel); });
        });
}

void ServerState::handleEventPost(const httplib::Request& req, httplib::Response& res) {
    json event = json::parse(req.body, nullptr, false);
    if (event.is_discarded() || !event.is_object()) {
        refuse(res, 400, "Bad event.");
        return;
    }
    toLoop([event = std::move(event)](WebHost& host) { host.handleEvent(event); });
    res.status = 204;
}

void ServerState::handlePick(const httplib::Request& req, httplib::Response& res,
                             const httplib::ContentReader& content) {
    const std::string form = req.get_param_value("form");
    const std::string control = req.get_param_value("control");
    const std::uint64_t channel =
        std::strtoull(req.get_param_value("channel").c_str(), nullptr, 10);
    const auto name = pickedBaseName(req.get_param_value("name"));
    if (form.empty() || control.empty() || !name) {
        refuse(res, 400, "The file has no name that can be used.");
        return;
    }
    // The page says it before it sends; this holds for anyone else who would send more.
    const std::string length = req.get_header_value("Content-Length");
    const std::uint64_t size =
        length.empty() ? kMaxPickedFileBytes + 1 : std::strtoull(length.c_str(), nullptr, 10);
    if (size > kMaxPickedFileBytes) {
        res.set_header("Connection", "close");
        refuse(res, 413, pickedFileTooLarge(*name, size));
        return;
    }
    auto file = std::make_shared<std::unique_ptr<PickedFile>>();
    try {
        *file = std::make_unique<PickedFile>(*name);
    } catch (const std::exception& e) {
        refuse(res, 500, e.what());
        return;
    }
    const bool read =
        content([&](const char* data, std::size_t n) { return (*file)->append(data, n); });
    if (!(*file)->finish() || !read) {
        refuse(res, 500, "cannot receive " + *name);
        return;
    }
    toLoop([file, channel, form, control](WebHost& host) {
        host.handlePick(channel, form, control, std::move(*file));
    });
    res.status = 204;
}

} // namespace platform
