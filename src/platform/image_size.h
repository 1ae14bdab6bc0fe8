// The width and height of a GIF, PNG or JPEG picture, read from its header alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace platform {

struct ImageSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const ImageSize&) const = default;
};

// The size a picture declares: GIF's logical screen, PNG's IHDR, JPEG's first frame header
// (SOF0..SOF15 but not DHT, JPG or DAC). Nothing for other formats, a header cut short, or a
// declared size of 0.
std::optional<ImageSize> imageSize(std::string_view bytes);

// The same for a file; its first megabytes are read, which holds the frame header of any
// JPEG short of one with megabytes of embedded data before it. Nothing when it cannot be read.
std::optional<ImageSize> imageSizeOfFile(const std::filesystem::path& file);

} // namespace platform
