// The browser's native-messaging framing: each message is a 32-bit length in the machine's
// byte order followed by that many bytes of JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace vellumite::toolbar {

// The largest message taken from the extension (a dropped text fits easily), and the largest
// the browser takes from a host.
inline constexpr std::size_t kMaxIncomingMessage = 1024 * 1024;
inline constexpr std::size_t kMaxOutgoingMessage = 1024 * 1024;

struct Frame {
    enum Kind { Message, TooLarge } kind = Message;
    std::string body;         // the JSON text of a message
    std::uint32_t length = 0; // the announced length
};

// Cuts frames out of the bytes read so far. A frame over the limit is reported once and its
// bytes are skipped as they come, so the next frame is read in step.
class FrameReader {
public:
    explicit FrameReader(std::size_t limit = kMaxIncomingMessage) : m_limit(limit) {}

    void feed(std::string_view bytes);
    bool hasFrame() const { return !m_frames.empty(); }
    Frame take();
    // True while a frame has been begun and not completed (bytes lost if the input ends).
    bool midFrame() const { return !m_buffer.empty() || m_skipping > 0; }

private:
    void cut();

    std::size_t m_limit;
    std::string m_buffer;
    std::uint64_t m_skipping = 0; // bytes of an oversized frame still to skip
    std::deque<Frame> m_frames;
};

// The frame of a message. JSON text that is not valid UTF-8 is mended, never refused.
std::string frameOf(const nlohmann::json& message);

// The JSON text of a message as it is sent, for the size checks.
std::string messageText(const nlohmann::json& message);

} // namespace vellumite::toolbar
