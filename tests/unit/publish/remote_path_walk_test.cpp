// The remote path walk against scripted servers: which folders are tried, and when it arrives.
#include "publish/remote_path_walk.h"
#include "support/scripted_ftp_client.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;
using testing_support::ScriptedFtpServer;
using Outcome = RemotePathWalk::Outcome;
using Commands = std::vector<std::string>;

class RemotePathWalkTest : public testing_support::ScriptedClientTest {
protected:
    // Logs in (the login folder is /home/site), then walks to `path` and returns the outcome.
    std::optional<Outcome> walk(ScriptedFtpServer& server, const std::string& path,
                                RemotePathWalk::Rules rules = {}) {
        if (connect(server) != arStatusOk)
            return std::nullopt;
        RemotePathWalk walk(client, path, rules);
        std::optional<Outcome> outcome;
        walk.OnDone = [&](Outcome o) { outcome = o; };
        client.OnSetCurrentDirectory = [&](AsyncResultStatus s) {
            words.push_back(RemotePathWalk::stateWord(walk.step()));
            walk.onSetCurrentDirectory(s);
        };
        client.OnGetCurrentDirectory = [&](AsyncResultStatus s) { walk.onGetCurrentDirectory(s); };
        walk.begin();
        loop.runUntil([&] { return outcome.has_value(); }, 10s);
        return outcome;
    }
    std::vector<std::string> words;
};

// A server that answers the login, then each command with the next reply of `replies`.
ScriptedFtpServer serverAnswering(std::vector<std::string> replies) {
    return ScriptedFtpServer([replies](ScriptedFtpServer::Session& s) {
        testing_support::scriptedLogin(s);
        for (const auto& reply : replies)
            s.answer(reply);
    });
}

const Commands kLogin = {"USER site", "PASS pw", "PWD"};

// Every command the server took, once its script has ended.
Commands commandsOf(ScriptedFtpServer& server) {
    server.join();
    return server.commands();
}

Commands after(const Commands& walk) {
    Commands all = kLogin;
    all.insert(all.end(), walk.begin(), walk.end());
    return all;
}

TEST_F(RemotePathWalkTest, TheConfiguredPathAsTheServerSpellsItIsReachedAtOnce) {
    auto server = serverAnswering({"250 OK", "257 \"/www\""});
    EXPECT_EQ(walk(server, "/www"), Outcome::Arrived);
    EXPECT_EQ(commandsOf(server), after({"CWD /www", "PWD"}));
    EXPECT_EQ(words, (std::vector<std::string>{"goftppath"}));
}

TEST_F(RemotePathWalkTest, AnotherSpellingWalksFromTheRootThenFromTheLoginFolder) {
    auto server = serverAnswering({"250 OK", "257 \"/WWW\"", "250 OK", "257 \"/\"", "250 OK",
                                   "257 \"/WWW\"", "250 OK", "257 \"/home/site/www\""});
    EXPECT_EQ(walk(server, "/www"), Outcome::Arrived);
    EXPECT_EQ(commandsOf(server), after({"CWD /www", "PWD", "CWD /", "PWD", "CWD /www", "PWD",
                                         "CWD /home/site/www", "PWD"}));
    EXPECT_EQ(words, (std::vector<std::string>{"goftppath", "gorootpath", "goftppathfromroot",
                                               "godefaultwithuserpath"}));
}

TEST_F(RemotePathWalkTest, RefusedChangesStillAskWhereTheClientIsAndEndLost) {
    auto server =
        serverAnswering({"550 No such folder", "257 \"/home/site\"", "250 OK", "257 \"/\"",
                         "550 No", "257 \"/\"", "550 No", "257 \"/home/site\""});
    EXPECT_EQ(walk(server, "/www"), Outcome::Lost);
    EXPECT_EQ(commandsOf(server), after({"CWD /www", "PWD", "CWD /", "PWD", "CWD /www", "PWD",
                                         "CWD /home/site/www", "PWD"}));
}

TEST_F(RemotePathWalkTest, NoPathAndTheDialogsRulesArriveWithoutOrWithFewerSteps) {
    {
        auto server = serverAnswering({});
        EXPECT_EQ(walk(server, ""), Outcome::Arrived);
        EXPECT_EQ(commandsOf(server), kLogin);
    }
    {
        auto server = serverAnswering({});
        EXPECT_EQ(walk(server, "/home/site", {.skipWhenAtLoginFolder = true}), Outcome::Arrived);
        EXPECT_EQ(commandsOf(server), kLogin);
    }
    {
        // A server whose root is the site's folder: the dialogs take the root at once.
        auto server = serverAnswering({"250 OK", "257 \"/SITE\"", "250 OK", "257 \"/site\""});
        EXPECT_EQ(walk(server, "/site", {.acceptRoot = true}), Outcome::Arrived);
        EXPECT_EQ(commandsOf(server), after({"CWD /site", "PWD", "CWD /", "PWD"}));
    }
}

TEST_F(RemotePathWalkTest, AServerThatStopsAnsweringEndsTheWalkTimedOut) {
    client.setTimeOut(1);
    ScriptedFtpServer server([](ScriptedFtpServer::Session& s) {
        testing_support::scriptedLogin(s);
        s.command(); // CWD, never answered
        s.pause(5000);
    });
    EXPECT_EQ(walk(server, "/www"), Outcome::TimedOut);
}

} // namespace
} // namespace vellumite
