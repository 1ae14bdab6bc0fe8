// The reply reader: whole replies only, multi-line ones included.
#include "net/ftp_reply.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

TEST(GetResponseCode, ReadsWholeRepliesOnly) {
    struct Case {
        const char* text;
        int code;
        std::size_t consumed;
        const char* message;
    };
    const Case cases[] = {
        {"", 0, 0, ""},
        {"22", 0, 0, ""},
        {"220 Welcome", 0, 0, ""}, // the end of the line is still on its way
        {"220 Welcome\r\n", 220, 13, ""},
        {"220-Hello\r\n220-World\r\n", 0, 0, ""},
        {"220-Hello\r\n220-World\r\n220 Ready\r\n", 220, 33, "Hello\r\nWorld\r\n"},
        {"220-Hello\r\n plain line\r\n220 Ready\r\n", 220, 35, "Hello\r\n"},
        {"150 Opening\r\n226 Done\r\n", 226, 23, ""},
        {"226 Done\r\n22", 226, 10, ""},
        {"250 OK\n", 250, 7, ""},
        {"421\r\n", 421, 5, ""},
        {"abc def\r\n", 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FtpReply reply = GetResponseCode(c.text);
        EXPECT_EQ(reply.code, c.code);
        EXPECT_EQ(reply.consumed, c.consumed);
        EXPECT_EQ(reply.message, c.message);
    }
}

} // namespace
} // namespace vellumite
