#include "toolbar/capture.h"

#include <gtest/gtest.h>

using namespace vellumite::toolbar;

namespace {

const std::vector<Capture> kCaptures = {
    {3, "Bread & <script>alert(\"x\")</script>", "http://example.org/a?b=1&c=\"2\""},
    {7, "plain", "javascript:alert(1)"},
    {9, "local", "FILE:///home/u/page.html"},
};

const std::string kHead =
    "<head><style>.bodytext {font-size:12pt;font-family : Verdana;}</style></head>"
    "<body class=bodytext><h1>Vellumite Collection</h1> <br><br>";

} // namespace

TEST(Scrapbook, PageAndSavedCopyEscapeTextAndLinkOnlyWebAndFileAddresses) {
    EXPECT_EQ(scrapbookPage(kCaptures, "http://service.test/"),
              kHead +
                  "<iframe src=\"http://service.test/toolbarnews.html\"></iframe><br>"
                  "<a href=\"http://example.org/a?b=1&amp;c=&quot;2&quot;\">"
                  "http://example.org/a?b=1&amp;c=&quot;2&quot;</a> <a href=delete,3>[Delete]</a>"
                  "<br><blockquote>Bread &amp; &lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"
                  "</blockquote><br>"
                  "javascript:alert(1) <a href=delete,7>[Delete]</a><br><blockquote>plain"
                  "</blockquote><br>"
                  "<a href=\"FILE:///home/u/page.html\">FILE:///home/u/page.html</a> "
                  "<a href=delete,9>[Delete]</a><br><blockquote>local</blockquote><br>"
                  "<br><Br><a href=clear>[Clear all]</a><br><a href=save>[Save this page]</a>"
                  "</body>");
    EXPECT_EQ(scrapbookCopy(kCaptures),
              kHead + "<a href=\"http://example.org/a?b=1&amp;c=&quot;2&quot;\">"
                      "http://example.org/a?b=1&amp;c=&quot;2&quot;</a><br><blockquote>Bread &amp; "
                      "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</blockquote><br>"
                      "javascript:alert(1)<br><blockquote>plain</blockquote><br>"
                      "<a href=\"FILE:///home/u/page.html\">FILE:///home/u/page.html</a><br>"
                      "<blockquote>local</blockquote><br></body>");
    EXPECT_EQ(scrapbookCopy({}), kHead + "</body>");
}

TEST(Scrapbook, OnlyThePagesOwnCommandLinksAreCommands) {
    const std::string page = "chrome-extension://abc/scrapbook.html";
    using C = ScrapbookCommand;
    // The page shown, the link followed and the command it is.
    const std::tuple<std::string, std::string, C> cases[] = {
        {page, "chrome-extension://abc/delete,12", {C::Delete, 12}},
        {page, "chrome-extension://abc/clear", {C::Clear}},
        {page, "chrome-extension://abc/save", {C::Save}},
        {"file:///C:/app/scrapbook.html", "file:///C:/app/delete,4", {C::Delete, 4}},
        // captured addresses that merely hold the words are followed
        {page, "http://example.org/delete,12", {}},
        {page, "http://example.org/how-to-clear-and-save", {}},
        {page, "chrome-extension://abc/delete,12x", {}},
        {page, "chrome-extension://abc/delete,-1", {}},
        {page, "chrome-extension://abc/delete,", {}},
        {page, "chrome-extension://abc/delete,99999999999999999999999", {}},
        // not from the scrapbook page: nothing is a command
        {"http://example.org/page.html", "http://example.org/clear", {}},
    };
    for (const auto& [current, target, command] : cases)
        EXPECT_EQ(scrapbookCommand(current, target), command) << target;
}

TEST(Capture, PlainTextIsTakenLinksAndFilesAreNot) {
    using Types = std::vector<std::string>;
    EXPECT_TRUE(takesDrop(Types{"text/plain"}));
    EXPECT_TRUE(takesDrop(Types{"text/html", "text/plain"}));
    EXPECT_FALSE(takesDrop(Types{"text/uri-list", "text/plain"}));
    EXPECT_FALSE(takesDrop(Types{"Files", "text/plain"}));
    EXPECT_FALSE(takesDrop(Types{"text/html"}));
    EXPECT_FALSE(takesDrop(Types{}));
}

// Storing, listing, deleting and clearing captures: see the browser test of the add-on.
