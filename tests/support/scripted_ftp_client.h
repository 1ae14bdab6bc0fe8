// A CFtpClient on its own loop, logged in to a ScriptedFtpServer: the fixture of the client's
// scripted tests.
#pragma once

#include "net/ftp_client.h"
#include "support/ftp_driver.h"
#include "support/scripted_ftp_server.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace testing_support {

// The usual greeting and login, as the scripted server plays them.
inline void scriptedLogin(ScriptedFtpServer::Session& s) {
    s.reply("220 Scripted server ready");
    s.answer("331 Password required");
    s.answer("230 Logged in");
    s.answer("257 \"/home/site\" is the current directory");
}

class ScriptedClientTest : public ::testing::Test {
protected:
    std::optional<vellumite::AsyncResultStatus> connect(const ScriptedFtpServer& server,
                                                        const std::string& user = "site") {
        client.setFtpServer("127.0.0.1");
        client.setRemotePort(server.port());
        client.setUserName(user);
        client.setPassword("pw");
        return driver.run([&] { client.Connect(); }, std::chrono::seconds(10));
    }
    const vellumite::CFtpError& error() const { return client.LastFtpError(); }

    platform::EventLoop loop;
    vellumite::CFtpClient client{loop};
    FtpDriver driver{loop, client};
};

} // namespace testing_support
