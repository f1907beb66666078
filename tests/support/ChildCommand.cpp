#include "support/ChildCommand.h"

#include <unistd.h>

#include <cstring>

extern char** environ;

namespace testing_support {

namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

ChildCommand::ChildCommand(std::string program, std::vector<std::string> args, const std::vector<std::string>& env,
                           std::string argv0)
    : m_program(std::move(program)), m_argv0(argv0.empty() ? m_program : std::move(argv0)), m_args(std::move(args)) {
    for (char** e = environ; *e; e++) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& change : env)
            replaced = replaced || NameOf(change) == NameOf(entry);
        if (!replaced)
            m_env.push_back(entry);
    }
    for (const std::string& change : env)
        if (change.find('=') != std::string::npos)
            m_env.push_back(change);
    m_argv.push_back(const_cast<char*>(m_argv0.c_str()));
    for (const std::string& a : m_args)
        m_argv.push_back(const_cast<char*>(a.c_str()));
    m_argv.push_back(nullptr);
    for (const std::string& e : m_env)
        m_envp.push_back(const_cast<char*>(e.c_str()));
    m_envp.push_back(nullptr);
}

void ChildCommand::Exec() const {
    if (m_program.find('/') == std::string::npos)
        execvpe(m_program.c_str(), m_argv.data(), m_envp.data());
    else
        execve(m_program.c_str(), m_argv.data(), m_envp.data());
    _exit(127);
}

}  // namespace testing_support
