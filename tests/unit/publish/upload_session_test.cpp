// The upload session's checks before it connects, and where it expects the upload folder.
#include "publish/upload_session.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(UploadSession, TheFolderIsBelowThePathOrBelowTheLoginFolderAndThePath) {
    struct Case {
        const char* current;
        const char* configured;
        const char* login;
        bool in;
    } cases[] = {
        {"/images", "", "/", true},
        {"/home/u/images", "", "/home/u", true},
        {"/www/images", "/www", "/home/u", true},
        {"/home/u/www/images", "/www", "/home/u", true},
        {"/home/u/www/images", "www", "/home/u/", true},
        {"/other/images", "/www", "/home/u", false},
        {"/images", "/www", "/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(inUploadFolder(c.current, c.configured, c.login, "images"), c.in)
            << c.current << " for " << c.configured << " from " << c.login;
    EXPECT_TRUE(inUploadFolder("/www/media", "/www", "/", "media"));
}

TEST(UploadSession, SaysWhyItCannotBeginAndConnectsNothing) {
    testing_support::AppFixture f;
    const auto site = [&](const char* location, const char* password) {
        return f.addSite(
            "Log",
            {{"ftplocation", location}, {"ftpusername", "tester"}, {"ftppassword", password}});
    };
    struct Case {
        std::int32_t logId;
        bool online;
        std::string message;
    } cases[] = {
        {site("127.0.0.1:2121", ""), true, kUploadSettingsIncomplete},
        {site("127.0.0.1:99999", "s3cret"), true, "The FTP server setting cannot be used"},
    };
    for (const Case& c : cases) {
        UploadSession session(f.loop, UploadFolder::Images);
        const auto refused =
            session.start(f.db, c.logId, f.dir.path(), c.online, "/nowhere/a.gif", "a.gif");
        ASSERT_TRUE(refused.has_value()) << c.message;
        EXPECT_EQ(refused->message.substr(0, c.message.size()), c.message);
        EXPECT_EQ(refused->title, kUploadFailedTitle);
        EXPECT_FALSE(session.busy());
    }
}

} // namespace
} // namespace vellumite
