// A program started by a test with posix_spawn (no allocation between fork and exec in a
// threaded test process), and the descriptors that connect to it, each closed by its owner.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A file descriptor closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    void reset();

private:
    int m_fd = -1;
};

// Both ends of a pipe, close-on-exec, so a child gets only the end handed to it.
struct Pipe {
    Pipe();
    UniqueFd readEnd;
    UniqueFd writeEnd;
};

// A running program; on destruction it is asked to stop (SIGTERM) unless it has exited, and
// reaped.
class ChildProcess {
public:
    // Starts `argv[0]` (a path) with `argv`; the child's standard input and output are the
    // given descriptors (-1: this process's own); `environment` entries ("NAME=value") are
    // added to this process's environment. Throws std::runtime_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, int standardInput = -1,
                 int standardOutput = -1, const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the program to end; answers its exit code (-1 when a signal ended it).
    int waitForExit();

private:
    pid_t m_pid = -1;
};
