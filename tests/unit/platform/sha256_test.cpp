// SHA-256 of bytes and files against the standard's vectors.
#include "platform/files.h"
#include "platform/sha256.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Sha256, DigestsMatchTheStandardsVectorsAndAMissingFileIsAnError) {
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    testing_support::TempDir dir;
    files::writeFileAtomic(dir / "long.txt", std::string(1'000'000, 'a')); // several pieces
    EXPECT_EQ(sha256HexOfFile(dir / "long.txt"),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_THROW(sha256HexOfFile(dir / "missing.txt"), std::system_error);
}

} // namespace
} // namespace platform
