// The manager page forwarded from its own origin with the agent added, and its commands handed
// to the loop instead of being forwarded.
#include "resources/manager_origin.h"
#include "support/fake_service.h"
#include "support/temp_dir.h"

#include "platform/files.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace vellumite {
namespace {

TEST(ManagerOrigin, TheAgentGoesFirstInTheHead) {
    const std::pair<const char*, const char*> cases[] = {
        {"<html><HEAD lang=en><title>x</title>", "<html><HEAD lang=en>S<title>x</title>"},
        {"<p>no head</p>", "S<p>no head</p>"},
    };
    for (const auto& [page, forwarded] : cases)
        EXPECT_EQ(withAgent(page, "S"), forwarded);
}

TEST(ManagerOrigin, PagesAreForwardedWithTheAgentAndCommandsReachTheLoop) {
    testing_support::FakeService service;
    testing_support::TempDir dir;
    platform::files::writeFileAtomic(dir.path() / "agent.js", "// agent");
    platform::EventLoop loop;
    std::vector<std::string> commands;
    ManagerOrigin origin(loop, service.url(), dir.path() / "agent.js",
                         [&](const std::string& address) { commands.push_back(address); });

    const std::string address = origin.address("/manageResources.php?username=ann&password=a%26b");
    const std::string page = testing_support::httpGet(address);
    EXPECT_NE(page.find("<script src=\"http://127.0.0.1:"), std::string::npos);
    EXPECT_NE(page.find("value=\"a&amp;b\""), std::string::npos) << "the password arrived whole";
    const std::string agentUrl = page.substr(page.find("src=\"") + 5);
    EXPECT_EQ(testing_support::httpGet(agentUrl.substr(0, agentUrl.find('"'))), "// agent");

    httplib::Client client(address.substr(0, address.find('/', 7)));
    const std::string base = address.substr(address.find('/', 7));
    const auto answer =
        client.Get(base.substr(0, base.find("view/") + 5) + "%3Cimport%3E?item=a-b-c");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 204);
    loop.runUntil([&] { return !commands.empty(); }, std::chrono::seconds(5));
    EXPECT_EQ(commands, (std::vector<std::string>{"<import>?item=a-b-c"}));
    for (const auto& request : service.requests())
        EXPECT_EQ(request["path"].get<std::string>().find("import>"), std::string::npos)
            << "a command is never forwarded";
}

} // namespace
} // namespace vellumite
