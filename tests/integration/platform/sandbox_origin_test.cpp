// The sandbox origin over HTTP: its pages come with the sandbox, and only under its secret.
#include "platform/files.h"
#include "platform/sandbox_origin.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(SandboxOrigin, ServesItsFolderSandboxedAndNothingWithoutItsSecret) {
    testing_support::TempDir dir;
    files::writeFileAtomic(dir / "Index.html", "<script>alert(1)</script>");
    SandboxOrigin origin;
    origin.mount("preview", servedFolder(dir.path()));
    origin.start();
    const std::string address = origin.address("preview", "index.html");
    const auto [base, path] = [&] {
        auto slash = address.find('/', 7);
        return std::pair(address.substr(0, slash), address.substr(slash));
    }();
    ASSERT_EQ(base.rfind("http://127.0.0.1:", 0), 0u) << address;
    httplib::Client client(base);

    auto page = client.Get(path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<script>alert(1)</script>");
    EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
              "sandbox allow-scripts allow-popups");
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    for (const auto& [name, value] : page->headers)
        EXPECT_NE(name.rfind("Access-Control-", 0), 0u) << name;

    const std::string secret = path.substr(1, path.find('/', 1) - 1);
    const std::pair<std::string, int> refused[] = {
        {"/" + std::string(secret.size(), '0') + "/preview/index.html", 404},
        {"/preview/index.html", 404},
        {"/" + secret + "/other/index.html", 404},
        {"/" + secret + "/preview/missing.html", 404},
        {"/" + secret + "/preview/..%2f..%2fetc%2fpasswd", 404},
    };
    for (const auto& [target, status] : refused) {
        auto r = client.Get(target);
        ASSERT_TRUE(r) << target;
        EXPECT_EQ(r->status, status) << target;
        EXPECT_EQ(r->get_header_value("Content-Security-Policy"),
                  "sandbox allow-scripts allow-popups")
            << target;
    }
    auto post = client.Post(path, "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    origin.stop();
    EXPECT_FALSE(client.Get(path)) << "nothing answers once stopped";
}

} // namespace
} // namespace platform
