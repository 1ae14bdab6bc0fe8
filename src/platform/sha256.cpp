// SHA-256 through libcrypto's EVP interface: the library's tested code, not our own.
#include "platform/sha256.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

class Digest {
public:
    Digest() : m_context(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("cannot start a SHA-256 digest");
    }
    void add(const void* data, std::size_t size) {
        if (EVP_DigestUpdate(m_context.get(), data, size) != 1)
            throw std::runtime_error("cannot compute a SHA-256 digest");
    }
    std::string hex() {
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) != 1)
            throw std::runtime_error("cannot compute a SHA-256 digest");
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out;
        out.reserve(length * 2);
        for (unsigned int i = 0; i < length; ++i) {
            out += kDigits[digest[i] >> 4];
            out += kDigits[digest[i] & 0x0f];
        }
        return out;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_context;
};

[[noreturn]] void cannotRead(int error, const std::filesystem::path& file) {
    throw std::system_error(error, std::generic_category(), "cannot read " + file.string());
}

} // namespace

std::string sha256Hex(std::string_view bytes) {
    Digest digest;
    digest.add(bytes.data(), bytes.size());
    return digest.hex();
}

std::string sha256HexOfFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        cannotRead(errno, file);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    Digest digest;
    std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            cannotRead(errno, file);
        }
        digest.add(buffer.data(), static_cast<std::size_t>(n));
    }
    return digest.hex();
}

} // namespace platform
