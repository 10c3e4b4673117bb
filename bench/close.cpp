// Closing benchmark: the tarn program started offscreen with one stored site and nothing
// connected, then asked to end as a desktop logout does (SIGTERM, which runs the Quit command);
// the time from the request to the process's end. Goal: at most 200 ms.
#include "BenchSupport.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for the window to be up and its signal handler installed.
constexpr auto kStartUp = std::chrono::seconds(2);

void storeOneSite(const std::string& localDir)
{
    TSiteRecord site;
    site.Name = "Close";
    site.Host = "127.0.0.1:21";
    site.LDir = localDir;
    SiteList = {site};
    SiteCount = 1;
    CurrentSite = 0;
    SaveSiteList();
}

double closingMilliseconds()
{
    char program[] = TARN_PROGRAM;
    char* argv[] = {program, nullptr};
    // Qt's start-up notes on standard error would bury the figures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, program, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (started != 0)
        throw std::runtime_error("cannot start " + std::string(program));
    std::this_thread::sleep_for(kStartUp);
    const Clock::time_point asked = Clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("tarn did not end by itself with status 0");
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = bench::runsFromArguments(argc, argv, 10);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TempDir configHome("tarn-bench-close-config");
    TempDir localDir("tarn-bench-close-local");
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    try {
        {
            QCoreApplication application(argc, argv);
            storeOneSite(localDir.path().string() + "/");
        }
        std::vector<double> times;
        for (int run = 0; run < runs; ++run)
            times.push_back(closingMilliseconds());
        std::printf("tarn ended %.1f ms (median of %d; slowest %.1f ms) after it was asked to close\n",
                    bench::median(times), runs, *std::max_element(times.begin(), times.end()));
        std::printf("close_ms=%.1f goal: <= 200\n", *std::max_element(times.begin(), times.end()));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_close: %s\n", error.what());
        return 1;
    }
}
