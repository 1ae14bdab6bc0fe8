// Finding an app-folder file whatever the spelling of its path, and never outside the folder.
#include "platform/files.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

TEST(Files, ResolveNoCaseFindsOneFileUnderAnySpellingAndStaysBeneathItsFolder) {
    TempDir dir;
    fs::create_directories(dir / "html/Tooltips");
    std::ofstream(dir / "html/logList.html") << "x";
    std::ofstream(dir / "html/Tooltips/Welcome.html") << "x";
    // The path asked for, whether a new file may be named, and what is found ("" when refused
    // or not there).
    const std::tuple<std::string_view, bool, std::string> cases[] = {
        {"HTML/loglist.html", false, "html/logList.html"},
        {"html\\tooltips\\welcome.HTML", false, "html/Tooltips/Welcome.html"},
        {"html/none.html", false, ""},
        {"html/new.html", true, "html/new.html"},
        {"html/LOGLIST.html", true, "html/logList.html"},
        {"../etc/passwd", true, ""},
        {"html/../../x", true, ""},
        {"/etc/passwd", false, ""},
        {"", false, ""},
        {"./html", false, ""},
        {std::string_view("html/a\0b", 9), true, ""},
    };
    for (const auto& [asked, orNew, expected] : cases) {
        auto found = platform::files::resolveNoCase(dir.path(), asked, orNew);
        EXPECT_EQ(found ? found->string() : "", expected.empty() ? "" : (dir / expected).string())
            << asked;
    }
}

} // namespace
