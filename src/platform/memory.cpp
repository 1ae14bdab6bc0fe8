// Allocator settings through glibc's mallopt.
#include "platform/memory.h"

#include <climits>
#include <malloc.h>

namespace platform {

void keepFreedMemory(std::size_t bytes) {
    const int limit = bytes > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(bytes);
    mallopt(M_TRIM_THRESHOLD, limit);
    mallopt(M_MMAP_THRESHOLD, limit);
}

} // namespace platform
