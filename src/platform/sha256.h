// SHA-256 digests of bytes and of files, as lower-case hexadecimal text.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The digest of `bytes`: 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

// The digest of a file's bytes, read in pieces. Throws std::system_error "cannot read <path>:
// <reason>" when the file cannot be read.
std::string sha256HexOfFile(const std::filesystem::path& file);

} // namespace platform
