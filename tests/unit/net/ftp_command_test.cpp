// Reading the addresses `vellumite ftp` takes.
#include "net/ftp_command.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vellumite {
namespace {

TEST(ParseFtpUrl, ReadsEveryPartAndDecodesEscapes) {
    struct Case {
        const char* url;
        const char* user;
        const char* password;
        const char* host;
        int port;
        const char* path;
        bool tls = false;
    };
    const Case cases[] = {
        {"ftp://example.org", "", "", "example.org", 21, ""},
        {"ftpes://me:pw@example.org/www/", "me", "pw", "example.org", 21, "/www/", true},
        {"FTPES://example.org:2121", "", "", "example.org", 2121, "", true},
        {"ftp://127.0.0.1:2121/", "", "", "127.0.0.1", 2121, "/"},
        {"ftp://me@host/www/index.html", "me", "", "host", 21, "/www/index.html"},
        {"ftp://me:p%40ss:word@host:21/a%20b", "me", "p@ss:word", "host", 21, "/a b"},
        {"ftp://us%3Aer:x@host/", "us:er", "x", "host", 21, "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        FtpUrl url = parseFtpUrl(c.url);
        EXPECT_EQ(url.user, c.user);
        EXPECT_EQ(url.password, c.password);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.path, c.path);
        EXPECT_EQ(url.tls, c.tls);
    }
}

TEST(ParseFtpUrl, RefusesWhatIsNotAnFtpAddress) {
    for (const char* url :
         {"http://host/", "host/path", "ftp://", "ftp://u:p@:21/", "ftp://host:0/",
          "ftp://host:99999/", "ftp://host:21x/", "ftp://host/%zz", "ftp://host/%4", "ftpes://",
          "ftpes:/host/", "ftps://host/"}) { // implicit TLS: another protocol
        EXPECT_THROW(parseFtpUrl(url), std::invalid_argument) << url;
    }
}

TEST(Printable, ShowsControlCharactersAndBrokenUtf8Escaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x93\x84", "caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x93\x84"},
        {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
        {"\x1b[2Jx", "\\x1b[2Jx"},
        {"a\r\nb\t\x7f", "a\\x0d\\x0ab\\x09\\x7f"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},                    // a control character past ASCII
        {"\xc0\x9b", "\\xc0\\x9b"},          // overlong
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // surrogate
        {"\xe2\x82", "\\xe2\\x82"},          // cut short
        {"\x9b\xff", "\\x9b\\xff"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(printable(text), shown) << shown;
}

} // namespace
} // namespace vellumite
