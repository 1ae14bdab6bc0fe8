// Downloading offered templates from the fake web service into a real app folder. Refused
// names and the downloads that work: see the browser test of choosing templates.
#include "core/panes.h"
#include "support/app_fixture.h"
#include "support/fake_service.h"
#include "templates/template_downloads.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using namespace std::chrono_literals;

TEST(Downloads, FailedDownloadsAreSaidWhileTheRestGoOn) {
    testing_support::FakeService service({"--offered", "fresh", "--broken", "cracked"});
    testing_support::AppFixture f;
    TemplateDownloads downloads; // gone before the loop and the app it reports to
    f.app.settings.serviceUrl = service.url();
    auto& select = f.host.doc(std::string(pane::TemplateSelect));
    for (const char* link : {"importlink", "usedefault", "breaker"})
        select.elements[link];
    auto inLibrary = [&](const char* file) { return exists(f.dir / "templates" / file); };

    downloads.download(f.app, {"cracked", "fresh"});
    EXPECT_EQ(select.elements["importlink"].text, "WAIT");
    ASSERT_TRUE(f.loop.runUntil([&] { return !downloads.busy(); }, 20s));
    EXPECT_TRUE(inLibrary("fresh.html") && inLibrary("fresh.gif"));
    EXPECT_FALSE(inLibrary("cracked.html") || inLibrary("cracked.gif"));
    EXPECT_EQ(f.host.messages.back().text,
              "These downloads failed:\nhtml for cracked: the service answered 500\n"
              "thumbnail for cracked: the service answered 500");
    EXPECT_EQ(service.requests().size(), 4u); // two files each for cracked and fresh
    EXPECT_EQ(f.host.frontPane(), pane::TemplateSelect);
}

} // namespace
} // namespace vellumite
