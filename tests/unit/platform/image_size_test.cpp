// Picture sizes read from GIF, PNG and JPEG headers that the test makes, and from broken ones.
#include "platform/files.h"
#include "platform/image_size.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string be16(unsigned v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string be32(std::uint32_t v) {
    return be16(v >> 16) + be16(v & 0xFFFF);
}

// Only the leading bytes that hold the size: the rest of a picture is never read.
std::string gif(unsigned width, unsigned height) {
    return "GIF89a" + le16(width) + le16(height) + std::string("\x80\0\0", 3);
}

std::string png(unsigned width, unsigned height) {
    return "\x89PNG\r\n\x1a\n" + be32(13) + "IHDR" + be32(width) + be32(height) + "\x08" +
           std::string(4, '\0') + be32(0);
}

std::string segment(unsigned marker, const std::string& body) {
    return "\xFF" + std::string(1, static_cast<char>(marker)) +
           be16(static_cast<unsigned>(body.size() + 2)) + body;
}

// A JPEG's markers up to its scan: an application segment, tables, then the frame header.
std::string jpeg(unsigned frameMarker, unsigned width, unsigned height) {
    return "\xFF\xD8" + segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14)) +
           segment(0xE1, std::string(300, 'x')) + segment(0xDB, std::string(65, '\x01')) +
           segment(0xC4, std::string(20, '\0')) + "\xFF" +
           segment(frameMarker, "\x08" + be16(height) + be16(width) + "\x01\x01\x11\x00") +
           segment(0xDA, "\x01\x01\x00\x00\x3f\x00") + "\x00\x00\xFF\xD9";
}

TEST(ImageSize, ReadsGifPngAndJpegAndRefusesWhatIsNotOneOfThem) {
    struct Case {
        std::string name;
        std::string bytes;
        std::optional<ImageSize> size;
    } cases[] = {
        {"gif", gif(120, 80), ImageSize{120, 80}},
        {"png", png(300, 2), ImageSize{300, 2}},
        {"baseline jpeg", jpeg(0xC0, 640, 480), ImageSize{640, 480}},
        {"progressive jpeg", jpeg(0xC2, 1, 65535), ImageSize{1, 65535}},
        {"gif cut short", gif(120, 80).substr(0, 9), std::nullopt},
        {"png without IHDR", png(3, 3).substr(0, 12) + "IDAT" + std::string(8, '\1'), std::nullopt},
        {"jpeg cut before its frame", jpeg(0xC0, 640, 480).substr(0, 400), std::nullopt},
        {"jpeg whose scan comes first", "\xFF\xD8" + segment(0xDA, "x") + "\xFF\xC0", std::nullopt},
        {"a size of nothing", gif(0, 80), std::nullopt},
        {"bmp", "BM" + std::string(60, '\0'), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(imageSize(c.bytes), c.size) << c.name;

    testing_support::TempDir dir;
    files::writeFileAtomic(dir / "photo.png", png(17, 9));
    EXPECT_EQ(imageSizeOfFile(dir / "photo.png"), (ImageSize{17, 9}));
    const std::string metadata = segment(0xE1, std::string(60000, 'x'));
    files::writeFileAtomic(dir / "photo.jpg",
                           "\xFF\xD8" + metadata + metadata + jpeg(0xC0, 64, 48).substr(2));
    EXPECT_EQ(imageSizeOfFile(dir / "photo.jpg"), (ImageSize{64, 48})) << "its frame after 64 KB";
    EXPECT_EQ(imageSizeOfFile(dir / "missing.gif"), std::nullopt);
}

} // namespace
} // namespace platform
