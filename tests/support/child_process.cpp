// posix_spawn with a pipe for the child's output.
#include "support/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <unistd.h>

extern char** environ;

namespace testing_support {

Child startChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                 bool withStderr, bool withInput) {
    int out[2], in[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || (withInput && ::pipe2(in, O_CLOEXEC) != 0))
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (withInput)
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    if (withStderr)
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<std::string> argStrings(args);
    std::vector<char*> argv;
    for (auto& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    Child child;
    int rc = posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (withInput)
        ::close(in[0]);
    if (rc != 0) {
        ::close(out[0]);
        if (withInput)
            ::close(in[1]);
        throw std::runtime_error("cannot start " + args.at(0));
    }
    child.output = out[0];
    child.input = in[1];
    return child;
}

std::string readLine(const Child& child) {
    std::string line;
    char c;
    while (::read(child.output, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

} // namespace testing_support
