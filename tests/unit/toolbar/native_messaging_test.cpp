#include "toolbar/host_messages.h"
#include "toolbar/native_messaging.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace vellumite::toolbar;

namespace {

std::string frame(std::uint32_t length, const std::string& body) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes + body;
}

std::vector<std::string> framesOf(FrameReader& reader) {
    std::vector<std::string> out;
    while (reader.hasFrame()) {
        Frame f = reader.take();
        out.push_back(f.kind == Frame::TooLarge ? "too large " + std::to_string(f.length) : f.body);
    }
    return out;
}

} // namespace

TEST(FrameReader, FramesComeWholeHoweverTheBytesArriveAndLargeOnesAreSkipped) {
    std::string stream =
        frame(2, "{}") + frame(20, std::string(20, 'x')) + frame(0, "") + frame(5, "[1,2]");
    for (std::size_t step : {std::size_t{1}, std::size_t{3}, stream.size()}) {
        FrameReader reader(10);
        std::vector<std::string> got;
        for (std::size_t at = 0; at < stream.size(); at += step) {
            reader.feed(std::string_view(stream).substr(at, step));
            auto some = framesOf(reader);
            got.insert(got.end(), some.begin(), some.end());
        }
        EXPECT_EQ(got, (std::vector<std::string>{"{}", "too large 20", "", "[1,2]"}))
            << "fed " << step << " bytes at a time";
        EXPECT_FALSE(reader.midFrame());
    }
    FrameReader reader;
    reader.feed(frame(4, "ab"));
    EXPECT_FALSE(reader.hasFrame());
    EXPECT_TRUE(reader.midFrame());
}

TEST(FrameReader, FramesSentCarryTheirLengthAndMendBrokenText) {
    std::string bytes = frameOf({{"text", "caf\xc3\xa9 \xff"}});
    FrameReader reader;
    reader.feed(bytes);
    ASSERT_TRUE(reader.hasFrame());
    EXPECT_EQ(reader.take().body, "{\"text\":\"caf\xc3\xa9 \xef\xbf\xbd\"}");
}

TEST(HostMessages, EachMessageIsCheckedForTypeFieldsAndSizes) {
    // A message, and the error it gets; empty: accepted.
    const std::pair<std::string, const char*> cases[] = {
        {R"({"type":"setSite","window":3})", ""},
        {R"({"type":"drop","types":["text/plain"],"text":"hi","url":"http://a/"})", ""},
        {R"({"type":"drop","types":["text/plain"],"text":"hi"})", ""},
        {R"({"type":"reply","id":4,"count":2,"interrupted":false})", ""},
        {"{\"type\":\"itemsSave\",\"lines\":[\"a\",\"\",\"c\"]}", ""},
        {"not json", "the message is not valid JSON"},
        {"[1,2]", "a message must be a JSON object"},
        {R"({"window":3})", "a message must have a \"type\" text"},
        {R"({"type":7})", "a message must have a \"type\" text"},
        {R"({"type":"format the disk"})", "unknown message type \"format the disk\""},
        {R"({"type":"setSite"})", "\"setSite\" needs the field \"window\""},
        {R"({"type":"setSite","window":"3"})", "field \"window\" must be a whole number"},
        {R"({"type":"setSite","window":3.5})", "field \"window\" must be a whole number"},
        {R"({"type":"tabClosed","tab":1e300})", "field \"tab\" must be a whole number"},
        {R"({"type":"tabClosed","tab":-7})", "field \"tab\" is out of range"},
        {R"({"type":"show","visible":1})", "field \"visible\" must be true or false"},
        {R"({"type":"padlock","extra":1})", "unknown field \"extra\" in \"padlock\""},
        {R"({"type":"drop","types":"text/plain","text":""})",
         "field \"types\" must be a list of texts"},
        {R"({"type":"drop","types":[1],"text":""})", "field \"types\" must be a list of texts"},
        {R"({"type":"itemsSave","lines":["1","2","3","4","5","6","7","8","9","10","11"]})",
         "field \"lines\" has more than 10 entries"},
        {"{\"type\":\"itemsSave\",\"lines\":[\"" + std::string(1025, 'a') + "\"]}",
         "field \"lines\" has an entry longer than 1024 bytes"},
        {"{\"type\":\"beforeNavigate\",\"tab\":1,\"url\":\"" + std::string(8193, 'a') + "\"}",
         "field \"url\" is longer than 8192 bytes"},
        {std::string(100000, '[') + std::string(100000, ']'), "a message must be a JSON object"},
        {"{\"type\":\"padlock\"}\xff", "the message is not valid JSON"},
    };
    for (const auto& [body, expected] : cases) {
        std::string error;
        try {
            parseMessage(body);
        } catch (const BadMessage& e) {
            error = e.what();
        }
        EXPECT_EQ(error, expected) << body.substr(0, 80);
    }
}
