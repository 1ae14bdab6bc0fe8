// A chosen file received privately, named safely, and gone with its object.
#include "platform/files.h"
#include "platform/picked_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(PickedFile, TakesOnlyTheBaseNameOfWhatThePageSays) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"photo.gif", "photo.gif"},
        {"C:\\fakepath\\Photo.GIF", "Photo.GIF"},
        {"../../etc/passwd", "passwd"},
        {"my song.mp3", "my song.mp3"},
        {"..", std::nullopt},
        {"dir/", std::nullopt},
        {"", std::nullopt},
        {"a.gif\r\nDELE index.html", std::nullopt},
        {std::string("a\0b", 3), std::nullopt},
    };
    for (const auto& [name, base] : cases)
        EXPECT_EQ(pickedBaseName(name), base) << name;
    EXPECT_THROW(PickedFile(".."), std::system_error);
}

TEST(PickedFile, IsPrivateKeepsItsBytesTakesANewNameAndGoesWithTheObject) {
    fs::path folder, path;
    {
        PickedFile file("Photo.GIF");
        EXPECT_TRUE(file.append("GIF89a", 6));
        EXPECT_TRUE(file.append("\0\1", 2));
        ASSERT_TRUE(file.finish());
        file.rename("photo.gif");
        path = file.path();
        folder = path.parent_path();
        EXPECT_EQ(path.filename(), "photo.gif");
        EXPECT_EQ(files::readFile(path), std::string("GIF89a\0\1", 8));
        EXPECT_EQ(file.size(), 8u);
        EXPECT_EQ(file.name(), "Photo.GIF");
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, files::kPrivateFolder);
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, files::kPrivateFile);
        EXPECT_THROW(file.rename("../elsewhere"), std::system_error) << "a base name only";
    }
    EXPECT_FALSE(fs::exists(folder));

    // The size is checked before a byte is read: the block need not be there.
    PickedFile large("big.bin");
    const char byte = 'x';
    EXPECT_TRUE(large.append(&byte, 1));
    EXPECT_FALSE(large.append(&byte, kMaxPickedFileBytes));
    EXPECT_FALSE(large.append(&byte, 1)) << "a file cut short takes nothing more";
    EXPECT_FALSE(large.finish());
}

} // namespace
} // namespace platform
