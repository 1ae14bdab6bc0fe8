// Picture sizes read from GIF, PNG and JPEG files that the test makes, and from broken ones.
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

// A whole GIF of one colour: LZW codes of 3 bits, the table cleared every two pixels so that
// the code size never grows.
std::string gif(unsigned width, unsigned height) {
    // Screen, two-colour table, one image of the same size, LZW codes from 2 bits up.
    std::string out = "GIF89a" + le16(width) + le16(height) + std::string("\x80\0\0", 3) +
                      std::string("\0\0\0\xff\xff\xff", 6) + "," + le16(0) + le16(0) + le16(width) +
                      le16(height) + std::string("\0\x02", 2);
    std::string data;
    unsigned bits = 0, count = 0;
    auto code = [&](unsigned c) {
        bits |= c << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8)
            data += static_cast<char>(bits & 0xFF);
    };
    for (unsigned pixel = 0; pixel < width * height; ++pixel) {
        if (pixel % 2 == 0)
            code(4); // clear
        code(1);
    }
    code(5); // end
    if (count)
        data += static_cast<char>(bits & 0xFF);
    for (std::size_t at = 0; at < data.size(); at += 255)
        out +=
            static_cast<char>(std::min<std::size_t>(255, data.size() - at)) + data.substr(at, 255);
    return out + std::string(1, '\0') + ";";
}

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

std::string chunk(const std::string& type, const std::string& data) {
    return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(crc32(type + data));
}

// A whole grey PNG, its pixels in stored (uncompressed) deflate blocks.
std::string png(unsigned width, unsigned height) {
    std::string rows;
    for (unsigned y = 0; y < height; ++y)
        rows += std::string(1, '\0') + std::string(width, '\x80');
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : rows)
        a = (a + c) % 65521, b = (b + a) % 65521;
    // One final stored block: the pictures here are far below its 65535 bytes.
    z += "\x01" + le16(static_cast<unsigned>(rows.size())) +
         le16(~static_cast<unsigned>(rows.size()) & 0xFFFF) + rows;
    z += be32(b << 16 | a);
    return "\x89PNG\r\n\x1a\n" +
           chunk("IHDR", be32(width) + be32(height) + "\x08" + std::string(4, '\0')) +
           chunk("IDAT", z) + chunk("IEND", "");
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
    EXPECT_EQ(imageSizeOfFile(dir / "missing.gif"), std::nullopt);
}

} // namespace
} // namespace platform
