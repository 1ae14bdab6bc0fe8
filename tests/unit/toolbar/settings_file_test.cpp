#include "support/temp_dir.h"
#include "toolbar/settings_file.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vellumite::toolbar;

TEST(SettingsFile, NamesMatchInEitherCaseAndValuesKeepLineFeeds) {
    testing_support::TempDir dir;
    SettingsFile settings(dir / "sub/vellumitebar.ini");
    EXPECT_EQ(settings.get("userdetails", "highlights", "on"), "on") << "no file yet";
    EXPECT_TRUE(highlightsOn(settings));

    settings.set("userdetails", "highlights", "off");
    settings.set("UserDetails", "SearchList", "Apple\nBread\\crumb");
    EXPECT_EQ(settings.get("USERDETAILS", "HIGHLIGHTS"), "off");
    EXPECT_EQ(settings.get("userdetails", "searchlist"), "Apple\nBread\\crumb");
    EXPECT_FALSE(highlightsOn(settings));
    settings.set("USERDETAILS", "highlights", "anything");
    EXPECT_TRUE(highlightsOn(settings)) << "every value but \"off\" counts as on";

    std::ifstream in(settings.path());
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "[userdetails]\nhighlights=anything\nSearchList=Apple\\nBread\\\\crumb\n\n")
        << "one section and one key of each name, spelled as first written";
}

TEST(SettingsFile, AHandWrittenFileIsReadAndTwoWritersAtOnceLoseNothing) {
    testing_support::TempDir dir;
    SettingsFile settings(dir / "vellumitebar.ini");
    std::ofstream(settings.path()) << "; comment\nstray=1\n[ UserDetails ]\n useritem1 = Apple \n"
                                      "no equals sign\n[Service]\nserviceurl=http://x\n";
    EXPECT_EQ(settings.get("userdetails", "useritem1"), "Apple");
    EXPECT_EQ(settings.get("service", "ServiceUrl"), "http://x");
    EXPECT_EQ(settings.get("userdetails", "stray", "none"), "none");

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    for (int i = 0; i < 50; ++i)
        settings.set(kUserSection, (child == 0 ? "child" : "parent") + std::to_string(i), "x");
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(settings.get(kUserSection, "child" + std::to_string(i)), "x") << i;
        EXPECT_EQ(settings.get(kUserSection, "parent" + std::to_string(i)), "x") << i;
    }
    EXPECT_EQ(settings.get("userdetails", "useritem1"), "Apple");
}
