// HttpClient against the fake web service: answers, failures, the multipart post, cancelling.
#include "platform/files.h"
#include "platform/http_client.h"
#include "support/fake_service.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using namespace std::chrono_literals;

// Starts a request with `start(completion)` and pumps the loop until it completes.
template <typename Start>
HttpResponse waitFor(EventLoop& loop, Start start) {
    std::optional<HttpResponse> got;
    start([&](const HttpResponse& r) {
        EXPECT_TRUE(loop.isLoopThread()); // completions arrive on the loop's thread
        got = r;
    });
    EXPECT_TRUE(loop.runUntil([&] { return got.has_value(); }, 20s));
    return got.value_or(HttpResponse{});
}

HttpResponse getAndWait(EventLoop& loop, HttpClient& client, const std::string& url) {
    return waitFor(loop, [&](auto done) { client.get(url, done); });
}

TEST(HttpClient, AnswersOfAnyStatusCompleteAndNoServerIsAnError) {
    testing_support::FakeService service({"--version-body", "v2"});
    EventLoop loop;
    HttpClient client(loop);
    HttpResponse ok = getAndWait(loop, client, service.url() + "/versioninfonew.html");
    EXPECT_TRUE(ok.ok());
    EXPECT_EQ(ok.body, "v2");
    HttpResponse missing = getAndWait(loop, client, service.url() + "/nothing");
    EXPECT_TRUE(missing.completed);
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.ok());
    // Port 1 on loopback: nobody listens there.
    HttpResponse none = getAndWait(loop, client, "http://127.0.0.1:1/x");
    EXPECT_FALSE(none.completed);
    EXPECT_FALSE(none.ok());
    EXPECT_FALSE(none.error.empty());
}

TEST(HttpClient, PostFileSendsTheExactMultipartBodyOrNothingWithoutTheFile) {
    testing_support::FakeService service;
    testing_support::TempDir dir;
    std::string content("<LogHighlights>\r\n\x01\xff</LogHighlights>", 34);
    files::writeFileAtomic(dir / "highlights.xml", content);
    EventLoop loop;
    HttpClient client(loop);
    auto post = [&](const std::filesystem::path& file) {
        return waitFor(loop, [&](auto done) {
            client.postFile(service.url() + "/highlight_xml_to_db.php", "userfile", file, done);
        });
    };
    HttpResponse missing = post("/no/such/file.xml");
    EXPECT_FALSE(missing.completed);
    EXPECT_NE(missing.error.find("/no/such/file.xml"), std::string::npos);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(post(dir / "highlights.xml").ok());
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["method"], "POST");
    EXPECT_EQ(requests[0]["headers"]["content-type"],
              "multipart/form-data; boundary=---------------------------0123456789012");
    std::string expected = "-----------------------------0123456789012\r\n"
                           "Content-Disposition: form-data; name=\"userfile\"; filename=\"" +
                           (dir / "highlights.xml").string() +
                           "\"\r\n"
                           "Content-Type: application/upload\r\n\r\n" +
                           content + "\r\n-----------------------------0123456789012--\r\n";
    std::string hex = requests[0]["bodyHex"];
    std::string recorded;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        recorded += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(recorded, expected);
}

TEST(HttpClient, CancelledOrDestroyedClientsCallNothing) {
    testing_support::FakeService service({"--delay-ms", "300"});
    EventLoop loop;
    bool called = false;
    {
        HttpClient client(loop);
        client.get(service.url() + "/versioninfonew.html",
                   [&](const HttpResponse&) { called = true; });
        EXPECT_TRUE(client.busy());
        client.cancel();
        loop.runUntil([] { return false; }, 600ms);
        EXPECT_FALSE(called);
        client.get(service.url() + "/versioninfonew.html",
                   [&](const HttpResponse&) { called = true; });
    } // destroyed with the request under way
    loop.runUntil([] { return false; }, 600ms);
    EXPECT_FALSE(called);
}

} // namespace
} // namespace platform
