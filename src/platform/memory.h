// How the process keeps memory it has freed.
#pragma once

#include <cstddef>

namespace platform {

// Keeps up to `bytes` of freed memory for the next allocations instead of handing it back to
// the system at once, and serves blocks up to that size from it. A process that builds pages
// of a few megabytes again and again otherwise returns the memory after every build and takes
// a page fault for every page of it on the next, which on a virtual machine costs more than
// the build itself.
void keepFreedMemory(std::size_t bytes = std::size_t{64} << 20);

} // namespace platform
