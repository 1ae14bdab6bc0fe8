#include "support/temp_dir.h"
#include "toolbar/host_install.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

using namespace vellumite::toolbar;
namespace fs = std::filesystem;

namespace {

// HOME and XDG_CONFIG_HOME pointed into a temporary folder for one test.
struct TempHome {
    testing_support::TempDir dir;
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    TempHome() {
        ::setenv("HOME", dir.path().c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    ~TempHome() { ::setenv("HOME", oldHome.c_str(), 1); }
};

nlohmann::json readJson(const fs::path& file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

} // namespace

TEST(HostInstall, ManifestsForEachBrowserNameTheHostAndTheOneExtension) {
    TempHome home;
    auto written = installHost("/opt/v/bin/vellumitebar", true, false);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0],
              home.dir / ".config/chromium/NativeMessagingHosts/com.vellumite.vellumitebar.json");
    EXPECT_EQ(written[1], home.dir / ".config/google-chrome/NativeMessagingHosts/"
                                     "com.vellumite.vellumitebar.json");
    // The Chromium manifest's fields: see the browser test of the add-on, which starts the host.
    EXPECT_EQ(readJson(written[0]), readJson(written[1]));

    written = installHost("/opt/v/bin/vellumitebar", false, true);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0],
              home.dir / ".mozilla/native-messaging-hosts/com.vellumite.vellumitebar.json");
    EXPECT_EQ(readJson(written[0])["allowed_extensions"],
              nlohmann::json::array({"vellumitebar@vellumite.example"}));

    EXPECT_EQ(uninstallHost().size(), 3u);
    EXPECT_TRUE(uninstallHost().empty());
    EXPECT_FALSE(
        fs::exists(home.dir / ".mozilla/native-messaging-hosts/com.vellumite.vellumitebar.json"));
}
