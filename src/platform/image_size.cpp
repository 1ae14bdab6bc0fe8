// Picture headers: the few bytes of GIF, PNG and JPEG that hold the size.
#include "platform/image_size.h"

#include <fstream>
#include <string>

namespace platform {

namespace {

std::uint32_t byteAt(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]);
}
std::uint32_t little16(std::string_view b, std::size_t at) {
    return byteAt(b, at) | byteAt(b, at + 1) << 8;
}
std::uint32_t big16(std::string_view b, std::size_t at) {
    return byteAt(b, at) << 8 | byteAt(b, at + 1);
}
std::uint32_t big32(std::string_view b, std::size_t at) {
    return big16(b, at) << 16 | big16(b, at + 2);
}

std::optional<ImageSize> sized(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0)
        return std::nullopt;
    return ImageSize{width, height};
}

std::optional<ImageSize> gifSize(std::string_view b) {
    if (b.size() < 10)
        return std::nullopt;
    return sized(little16(b, 6), little16(b, 8));
}

std::optional<ImageSize> pngSize(std::string_view b) {
    // Signature, then the IHDR chunk: length, type, width, height.
    if (b.size() < 24 || b.substr(12, 4) != "IHDR")
        return std::nullopt;
    return sized(big32(b, 16), big32(b, 20));
}

bool isFrameHeader(std::uint32_t marker) {
    // C4 (DHT), C8 (JPG) and CC (DAC) share the range but are no frames.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageSize> jpegSize(std::string_view b) {
    std::size_t at = 2; // after SOI
    while (at + 4 <= b.size()) {
        if (byteAt(b, at) != 0xFF)
            return std::nullopt;
        const std::uint32_t marker = byteAt(b, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2; // markers without a length
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return std::nullopt; // the picture's data begins before any frame header
        const std::uint32_t length = big16(b, at + 2);
        if (length < 2)
            return std::nullopt;
        if (isFrameHeader(marker)) {
            // length, precision, height, width
            if (at + 9 > b.size())
                return std::nullopt;
            return sized(big16(b, at + 7), big16(b, at + 5));
        }
        at += 2 + length;
    }
    return std::nullopt;
}

} // namespace

std::optional<ImageSize> imageSize(std::string_view bytes) {
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a"))
        return gifSize(bytes);
    if (bytes.starts_with("\x89PNG\r\n\x1a\n"))
        return pngSize(bytes);
    if (bytes.starts_with("\xFF\xD8"))
        return jpegSize(bytes);
    return std::nullopt;
}

std::optional<ImageSize> imageSizeOfFile(const std::filesystem::path& file) {
    // Read in steps until the size is found: most headers sit in the first bytes, while a
    // JPEG's frame may follow large metadata segments.
    constexpr std::size_t kHeaderLimit = 4 << 20, kStep = 64 << 10;
    std::ifstream in(file, std::ios::binary);
    std::string bytes;
    while (in && bytes.size() < kHeaderLimit) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kStep);
        in.read(bytes.data() + had, static_cast<std::streamsize>(kStep));
        bytes.resize(had + static_cast<std::size_t>(in.gcount()));
        if (auto size = imageSize(bytes))
            return size;
    }
    return std::nullopt;
}

} // namespace platform
