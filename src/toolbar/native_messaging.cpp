// Native-messaging frames.
#include "toolbar/native_messaging.h"

#include <cstring>

namespace vellumite::toolbar {

void FrameReader::feed(std::string_view bytes) {
    while (m_skipping > 0 && !bytes.empty()) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_skipping, bytes.size()));
        bytes.remove_prefix(n);
        m_skipping -= n;
    }
    m_buffer.append(bytes);
    cut();
}

void FrameReader::cut() {
    for (;;) {
        if (m_buffer.size() < 4)
            return;
        std::uint32_t length = 0;
        std::memcpy(&length, m_buffer.data(), 4);
        if (length > m_limit) {
            m_frames.push_back({Frame::TooLarge, {}, length});
            std::size_t available = m_buffer.size() - 4;
            if (available >= length) {
                m_buffer.erase(0, 4 + length);
                continue;
            }
            m_skipping = length - available;
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() - 4 < length)
            return;
        m_frames.push_back({Frame::Message, m_buffer.substr(4, length), length});
        m_buffer.erase(0, 4 + length);
    }
}

Frame FrameReader::take() {
    Frame frame = std::move(m_frames.front());
    m_frames.pop_front();
    return frame;
}

std::string messageText(const nlohmann::json& message) {
    return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string frameOf(const nlohmann::json& message) {
    std::string body = messageText(message);
    auto length = static_cast<std::uint32_t>(body.size());
    std::string frame(4, '\0');
    std::memcpy(frame.data(), &length, 4);
    return frame + body;
}

} // namespace vellumite::toolbar
