// The remote path walk against scripted servers: which folders are tried, and when it ends.
#include "publish/remote_path_walk.h"
#include "support/scripted_ftp_client.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using Outcome = RemotePathWalk::Outcome;
using Lines = std::vector<std::string>;

class RemotePathWalkTest : public testing_support::ScriptedClientTest {
protected:
    // Logs in (the login folder is /home/site) and walks to `path`, the server answering each
    // command with the next of `replies`, then silent for `silentMs`. The outcome, and the
    // commands after the login.
    std::pair<std::optional<Outcome>, Lines> walk(const std::string& path, const Lines& replies,
                                                  RemotePathWalk::Rules rules = {},
                                                  int silentMs = 0) {
        testing_support::ScriptedFtpServer server([&](auto& s) {
            testing_support::scriptedLogin(s);
            for (const auto& reply : replies)
                s.answer(reply);
            s.pause(silentMs);
        });
        std::optional<Outcome> outcome;
        if (connect(server) == arStatusOk) {
            RemotePathWalk walk(client, path, rules);
            walk.OnDone = [&](Outcome o) { outcome = o; };
            client.OnSetCurrentDirectory = [&](auto s) { walk.onSetCurrentDirectory(s); };
            client.OnGetCurrentDirectory = [&](auto s) { walk.onGetCurrentDirectory(s); };
            walk.begin();
            loop.runUntil([&] { return outcome.has_value(); }, std::chrono::seconds(10));
        }
        server.join();
        const Lines& all = server.commands();
        return {outcome, Lines(all.begin() + std::min<std::size_t>(3, all.size()), all.end())};
    }
};

// The walk to nothing at all is shown by the publish command's test.
TEST_F(RemotePathWalkTest, ThePathIsFoundUnderAnotherSpellingAndTheDialogsTakeFewerSteps) {
    using Case = std::tuple<std::string, Lines, RemotePathWalk::Rules, Outcome, Lines>;
    const Case cases[] = {
        {"/www",
         {"250 OK", "257 \"/WWW\"", "250 OK", "257 \"/\"", "250 OK", "257 \"/WWW\"", "250 OK",
          "257 \"/home/site/www\""},
         {},
         Outcome::Arrived,
         {"CWD /www", "PWD", "CWD /", "PWD", "CWD /www", "PWD", "CWD /home/site/www", "PWD"}},
        {"/home/site", {}, {.skipWhenAtLoginFolder = true}, Outcome::Arrived, {}},
        {"/site",
         {"250 OK", "257 \"/SITE\"", "250 OK", "257 \"/site\""},
         {.acceptRoot = true},
         Outcome::Arrived,
         {"CWD /site", "PWD", "CWD /", "PWD"}},
    };
    for (const auto& [path, replies, rules, outcome, commands] : cases)
        EXPECT_EQ(walk(path, replies, rules), std::make_pair(std::optional(outcome), commands))
            << path;
}

} // namespace
} // namespace vellumite
