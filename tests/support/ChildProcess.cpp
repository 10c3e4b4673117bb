// Starting, stopping and reaping a test's child program, and the descriptors it is handed.
#include "support/ChildProcess.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// posix_spawn's file actions, released on every path.
class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    void redirect(int from, int to)
    {
        if (from >= 0)
            posix_spawn_file_actions_adddup2(&m_actions, from, to);
    }
    const posix_spawn_file_actions_t* get() const { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

// A null-terminated array of pointers into `texts`, which must outlive it.
std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

void UniqueFd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Pipe::Pipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed: " + std::string(std::strerror(errno)));
    readEnd = UniqueFd(ends[0]);
    writeEnd = UniqueFd(ends[1]);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int standardInput,
                           int standardOutput, const std::vector<std::string>& environment)
{
    SpawnActions actions;
    actions.redirect(standardInput, STDIN_FILENO);
    actions.redirect(standardOutput, STDOUT_FILENO);
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables = environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        variables.emplace_back(*entry);
    const std::vector<char*> argumentPointers = pointersTo(arguments);
    const std::vector<char*> variablePointers = pointersTo(variables);
    const int error = posix_spawn(&m_pid, arguments.at(0).c_str(), actions.get(), nullptr,
                                  argumentPointers.data(), variablePointers.data());
    if (error != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    waitForExit();
}

int ChildProcess::waitForExit()
{
    if (m_pid <= 0)
        return -1;
    int status = 0;
    while (::waitpid(m_pid, &status, 0) == -1 && errno == EINTR) {
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
