// Forwarding the manager page from a sandbox origin, and the commands its agent sends back.
#include "resources/manager_origin.h"

#include "platform/http_client.h"
#include "platform/local_server.h"
#include "platform/text.h"

namespace vellumite {

namespace {

constexpr std::chrono::seconds kForwardTimeout{30};

std::string hostOf(std::string_view url) {
    std::size_t start = url.find("://");
    start = start == std::string_view::npos ? 0 : start + 3;
    return std::string(url.substr(start, url.find('/', start) - start));
}

} // namespace

bool isManagerCommand(std::string_view path) {
    for (std::string_view command : kManagerCommands)
        if (path.find(command) != std::string_view::npos)
            return true;
    return false;
}

std::string withAgent(std::string_view page, std::string_view scriptElement) {
    std::string out(page);
    const std::string lower = platform::asciiLower(page);
    std::size_t head = lower.find("<head");
    std::size_t at = head == std::string::npos ? std::string::npos : lower.find('>', head);
    out.insert(at == std::string::npos ? 0 : at + 1, scriptElement);
    return out;
}

ManagerOrigin::ManagerOrigin(platform::EventLoop& loop, std::string serviceUrl,
                             std::filesystem::path agentScript, Command onCommand)
    : m_loop(loop), m_serviceUrl(std::move(serviceUrl)), m_alive(std::make_shared<bool>(true)),
      m_onCommand(std::move(onCommand)) {
    // The agent's one file, and nothing else of the app folder.
    m_origin.mount("agent", [agentScript](const std::string& rest, const std::string&,
                                          httplib::Response& response) {
        if (rest != agentScript.filename().string() ||
            !platform::serveFileContent(response, agentScript))
            response.status = 404;
    });
    m_origin.mount("view", [this](const std::string& rest, const std::string& query,
                                  httplib::Response& response) {
        if (!isManagerCommand(rest))
            return forward(rest, query, response);
        // On the loop's thread, and only while this origin lives.
        m_loop.post([alive = std::weak_ptr<bool>(m_alive), run = m_onCommand,
                     address = rest + (query.empty() ? "" : "?" + query)] {
            if (auto flag = alive.lock(); flag && *flag)
                run(address);
        });
        response.status = 204; // the page stays where it is
    });
    m_origin.start();
    m_agentElement = "<script src=\"" + m_origin.base() + "agent/" +
                     platform::percentEncodePath(agentScript.filename().string()) +
                     "\" data-service=\"" + platform::htmlEscape(hostOf(m_serviceUrl)) +
                     "\"></script>";
}

ManagerOrigin::~ManagerOrigin() {
    *m_alive = false;
    m_origin.stop();
}

std::string ManagerOrigin::address(std::string_view servicePath) const {
    std::string_view path = servicePath;
    if (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    const std::size_t question = path.find('?');
    // The path is encoded as an address path; the query stays as the caller encoded it.
    std::string out = m_origin.base() + "view/";
    out += platform::percentEncodePath(path.substr(0, question));
    if (question != std::string_view::npos)
        out += path.substr(question);
    return out;
}

void ManagerOrigin::forward(const std::string& rest, const std::string& query,
                            httplib::Response& response) const {
    std::string url = m_serviceUrl + "/" + platform::percentEncodePath(rest);
    if (!query.empty())
        url += "?" + query;
    const platform::HttpResponse answer = platform::HttpClient::getNow(url, kForwardTimeout);
    if (!answer.completed) {
        response.status = 502;
        response.set_content("<!doctype html><meta charset=utf-8><title>Not reached</title>"
                             "<p>The web service could not be reached: " +
                                 platform::htmlEscape(answer.error) + "</p>",
                             "text/html; charset=utf-8");
        return;
    }
    response.status = static_cast<int>(answer.status);
    const std::string type =
        answer.contentType.empty() ? "application/octet-stream" : answer.contentType;
    if (platform::asciiLower(type).starts_with("text/html"))
        response.set_content(withAgent(answer.body, m_agentElement), type);
    else
        response.set_content(answer.body, type);
}

} // namespace vellumite
