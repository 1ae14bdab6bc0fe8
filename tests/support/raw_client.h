// Raw TCP clients of a local server, for tests of what slow or idle clients can do to it.
#pragma once

#include <chrono>
#include <string>

namespace testing_support {

// A connection to 127.0.0.1:`port` from `source` (any 127.x.y.z address) that has sent
// `text`. Throws when refused.
int connectFrom(const std::string& source, int port, const std::string& text = "");

// True once the server has closed `fd`, within `timeout`; what it answered is read over.
bool closedWithin(int fd, std::chrono::milliseconds timeout);

} // namespace testing_support
