// The web service's resource manager page, shown through an origin of the editor's own that
// holds none of its secrets.
#pragma once

#include "platform/event_loop.h"
#include "platform/sandbox_origin.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vellumite {

// The three links of the manager page that the editor carries out.
inline constexpr std::string_view kManagerCommands[] = {"<delete>", "<import>", "<setTimes>"};

// The manager page cannot be shown as the service serves it: its links must reach the editor,
// and it must not run with the editor's rights. So it is forwarded from a sandbox origin (a port
// and secret of its own, an opaque origin for its scripts): it can neither read the editor's
// pages or token nor reach its page commands. A small agent script is added to each page it
// forwards; when one of the three links is clicked it sends the link, with the page's form
// values as its query, to this origin instead. The editor answers "nothing changes" (204), so
// the page stays, and hands the address to `onCommand` on the loop's thread, which checks
// every value before using it.
class ManagerOrigin {
public:
    using Command = std::function<void(const std::string& address)>;

    // `serviceUrl`: scheme and host of the web service; `agentScript`: the agent's file.
    ManagerOrigin(platform::EventLoop& loop, std::string serviceUrl,
                  std::filesystem::path agentScript, Command onCommand);
    ~ManagerOrigin();
    ManagerOrigin(const ManagerOrigin&) = delete;
    ManagerOrigin& operator=(const ManagerOrigin&) = delete;

    // Where the service's "/manageResources.php?..." is shown.
    std::string address(std::string_view servicePath) const;

private:
    void forward(const std::string& rest, const std::string& query,
                 httplib::Response& response) const;

    platform::EventLoop& m_loop;
    const std::string m_serviceUrl;
    std::shared_ptr<bool> m_alive;
    Command m_onCommand;
    std::string m_agentElement; // the script element added to forwarded pages
    platform::SandboxOrigin m_origin;
};

// Whether the decoded path of a request names one of the three manager commands.
bool isManagerCommand(std::string_view path);

// The page as forwarded: the agent's script element put first in its head (or in front of
// everything when it has none).
std::string withAgent(std::string_view page, std::string_view scriptElement);

} // namespace vellumite
