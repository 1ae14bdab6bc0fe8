// The reply reader and the parsers of replies that carry a value.
#include "net/ftp_reply.h"

#include <gtest/gtest.h>
#include <vector>

namespace vellumite {
namespace {

TEST(FtpReplyReader, GivesWholeRepliesInOrderWhateverTheArrivals) {
    struct Expected {
        int code;
        const char* message;
    };
    const struct {
        const char* name;
        std::vector<const char*> arrivals;
        std::vector<Expected> replies;
    } cases[] = {
        {"one line", {"220 Welcome\r\n"}, {{220, ""}}},
        {"split anywhere", {"22", "0 Wel", "come\r", "\n"}, {{220, ""}}},
        {"end of line still to come", {"220 Welcome"}, {}},
        {"bare line feeds", {"250 OK\n"}, {{250, ""}}},
        {"multi-line", {"220-Hello\r\n220-World\r\n220 Ready\r\n"}, {{220, "Hello\r\nWorld\r\n"}}},
        {"multi-line ends only at its own code",
         {"220-Welcome\r\n123 not the end\r\n plain text\r\n", "230 nor this\r\n220 Ready\r\n"},
         {{220, "Welcome\r\n123 not the end\r\n plain text\r\n230 nor this\r\n"}}},
        {"multi-line ending in its bare code",
         {"211-Features\r\n MDTM\r\n211\r\n"},
         {{211, "Features\r\n MDTM\r\n"}}},
        {"several replies in one arrival",
         {"150 Opening\r\n226 Done\r\n421 Bye\r\n"},
         {{150, ""}, {226, ""}, {421, ""}}},
        {"junk outside replies is dropped",
         {"junk\r\n\r\n2200 x\r\n22a x\r\n 220 x\r\n", "-\r\n250 OK\r\n"},
         {{250, ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FtpReplyReader reader;
        std::string all;
        for (const char* arrival : c.arrivals) {
            reader.feed(arrival);
            all += arrival;
        }
        for (const auto& expected : c.replies) {
            auto reply = reader.next();
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->code, expected.code);
            EXPECT_EQ(reply->message, expected.message);
            EXPECT_NE(all.find(reply->text), std::string::npos) << "the text as it came";
        }
        EXPECT_FALSE(reader.next());
    }
}

TEST(FtpReplyReader, KeepsItsMemoryBoundedWhateverTheServerSends) {
    FtpReplyReader reader;
    const std::string flood(1024 * 1024, 'x');
    reader.feed(flood); // a line that never ends
    reader.feed("\r\n220 " + flood + "\r\n220-");
    for (int i = 0; i < 20000; ++i)
        reader.feed("220-another line of a reply that goes on and on\r\n");
    reader.feed("220 End\r\n");
    auto first = reader.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 220);
    EXPECT_LE(first->text.size(), FtpReplyReader::kMaxLine);
    auto second = reader.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->code, 220);
    EXPECT_LE(second->text.size(), FtpReplyReader::kMaxText);
    EXPECT_LE(second->message.size(), FtpReplyReader::kMaxText);
    EXPECT_FALSE(reader.next());
}

TEST(ParsePwdReply, TakesTheQuotedPath) {
    // The reply, and the path in it; nullptr: no path.
    const std::pair<const char*, const char*> cases[] = {
        {"257 \"/home/site\" is the current directory", "/home/site"},
        {"257 \"C:\\sites\\mine\"", "C:/sites/mine"},
        {"257 \"/a \"\"quoted\"\" name\" created", "/a \"quoted\" name"},
        {"257 \"\"", ""},
        {"257 current directory is /", nullptr},
        {"\"/x\" 257", nullptr},
        {"257 \"/unterminated", nullptr},
    };
    for (const auto& [reply, expected] : cases) {
        const auto path = ParsePwdReply(reply);
        ASSERT_EQ(path.has_value(), expected != nullptr) << reply;
        if (expected) {
            EXPECT_EQ(*path, expected) << reply;
        }
    }
}

TEST(ParsePasvReply, ReadsSixNumbersInParentheses) {
    // The reply, and the address in it; nullptr: no address.
    const std::tuple<const char*, const char*, int> cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1)", "127.0.0.1", 1025},
        {"227 =(10,0,0,5,195,80) ok", "10.0.0.5", 50000},
        {"227 Entering Passive Mode 127,0,0,1,4,1", nullptr, 0},
        {"227 (127,0,0,1,4)", nullptr, 0},
        {"227 (127,0,0,1,4,256)", nullptr, 0},
        {"227 (127,0,0,1,-4,1)", nullptr, 0},
        {"227 (127,0,0,1,0,0)", nullptr, 0},
        {"227 (a,b,c,d,e,f)", nullptr, 0},
        {"227 (127,0,0,1,4,1", nullptr, 0},
    };
    for (const auto& [reply, host, port] : cases) {
        const auto address = ParsePasvReply(reply);
        ASSERT_EQ(address.has_value(), host != nullptr) << reply;
        if (host) {
            EXPECT_EQ(address->host, host) << reply;
            EXPECT_EQ(address->port, port) << reply;
        }
    }
}

} // namespace
} // namespace vellumite
