// Starting a helper program for a test with its output on a pipe.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

struct Child {
    pid_t pid = -1;
    int output = -1; // read end: the child's stdout (and stderr with `withStderr`)
    int input = -1;  // write end: the child's stdin, with `withInput`
};

// Runs args[0] (searched on PATH) with the rest as its arguments and `extraEnv` ("NAME=value")
// put before ours, so that its names win. Throws std::runtime_error when it cannot start.
Child startChild(const std::vector<std::string>& args,
                 const std::vector<std::string>& extraEnv = {}, bool withStderr = false,
                 bool withInput = false);

// The child's next line of output without its line feed (what it printed before exiting, when
// it ends first): helpers announce their port that way.
std::string readLine(const Child& child);

} // namespace testing_support
