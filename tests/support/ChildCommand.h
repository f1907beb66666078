#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A program to run in a forked child, with its arguments and environment
// made before the fork: the test program has threads, and a child that
// allocates (a string, setenv) may wait for ever on a lock that one of them
// held at the fork. The child then calls Exec and nothing else.
class ChildCommand {
public:
    // argv[0] is `argv0`, else `program`; `env` holds "NAME=value" entries
    // that replace the inherited ones of that name, and "NAME" entries that
    // remove them.
    ChildCommand(std::string program, std::vector<std::string> args, const std::vector<std::string>& env = {},
                 std::string argv0 = "");

    // In the child: exec, or exit 127.
    [[noreturn]] void Exec() const;

private:
    std::string m_program, m_argv0;
    std::vector<std::string> m_args, m_env;
    std::vector<char*> m_argv, m_envp;
};

}  // namespace testing_support
