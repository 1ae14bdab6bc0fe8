// SHA-256 of bytes and files against the published test vectors.
#include "platform/files.h"
#include "platform/sha256.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <system_error>

namespace platform {
namespace {

TEST(Sha256, DigestsMatchTheStandardsVectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& [bytes, digest] : cases)
        EXPECT_EQ(sha256Hex(bytes), digest) << bytes;
}

TEST(Sha256, FilesAreReadInPiecesAndAMissingOneIsSaid) {
    testing_support::TempDir dir;
    // A million "a": the standard's long vector, longer than one piece of the read.
    files::writeFileAtomic(dir / "long.txt", std::string(1'000'000, 'a'));
    EXPECT_EQ(sha256HexOfFile(dir / "long.txt"),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    try {
        sha256HexOfFile(dir / "missing.txt");
        ADD_FAILURE() << "a missing file was read";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
    }
}

} // namespace
} // namespace platform
