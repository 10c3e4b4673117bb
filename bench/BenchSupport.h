// Shared pieces of the benchmarks: timing, medians, running curl and other programs, peak memory.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

inline double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs a program (found on the PATH) and waits for it; false when it did not exit with 0.
inline bool run(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs curl with the arguments and waits for it; false when it did not exit with 0.
inline bool runCurl(const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"curl", "-s", "-S"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return run(std::move(all));
}

// Peak resident memory of this process (the curl children are not counted).
inline double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

inline int runsFromArguments(int argc, char** argv, int fallback)
{
    if (argc > 1)
        return std::max(1, std::atoi(argv[1]));
    if (const char* text = std::getenv("TARN_BENCH_RUNS"))
        return std::max(1, std::atoi(text));
    return fallback;
}

} // namespace bench
