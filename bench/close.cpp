// Closing benchmark: the tarn program started offscreen with one stored site, then asked to end
// as a desktop logout does (SIGTERM, which runs the Quit command); the time from the request to
// the process's end, reaped by this benchmark at once. Twice: idle and never connected, and
// connected to a real server after an upload run, where Quit also ends the session (QUIT).
// Goal: at most 200 ms.
#include "BenchSupport.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for the window to be up and its signal handler installed.
constexpr auto kStartUp = std::chrono::seconds(2);
// The upload run ends with a listing of the server's directory; it is over well within this.
constexpr auto kAfterUpload = std::chrono::milliseconds(500);
constexpr auto kUploadDeadline = std::chrono::seconds(20);
constexpr std::int64_t kUploadSize = 64 * 1024;

void storeOneSite(const std::string& localDir, const std::string& host)
{
    TSiteRecord site;
    site.Name = "Close";
    site.Host = host;
    site.User = FtpServerProcess::kUser;
    site.Pass = EncodePassword(FtpServerProcess::kPassword);
    site.LDir = localDir;
    site.Passive = true;
    SiteList = {site};
    SiteCount = 1;
    CurrentSite = 0;
    SaveSiteList();
}

pid_t startTarn(const std::optional<std::string>& uploadList)
{
    char program[] = TARN_PROGRAM;
    std::string list = uploadList.value_or("");
    char* argv[] = {program, uploadList ? list.data() : nullptr, nullptr};
    // Qt's start-up notes on standard error would bury the figures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, program, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (started != 0)
        throw std::runtime_error("cannot start " + std::string(program));
    return pid;
}

// The time from SIGTERM to the end of the process, which exits with 0.
double quitMilliseconds(pid_t pid)
{
    const Clock::time_point asked = Clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("tarn did not end by itself with status 0");
    return ms;
}

double idleQuitMilliseconds()
{
    const pid_t pid = startTarn(std::nullopt);
    std::this_thread::sleep_for(kStartUp);
    return quitMilliseconds(pid);
}

// Tarn uploads one file from a list and stays connected; then it is asked to quit.
double connectedQuitMilliseconds(const std::filesystem::path& list, const std::filesystem::path& uploaded)
{
    std::filesystem::remove(uploaded);
    const pid_t pid = startTarn(list.string());
    const Clock::time_point deadline = Clock::now() + kUploadDeadline;
    std::error_code error;
    while (std::filesystem::file_size(uploaded, error) != static_cast<std::uintmax_t>(kUploadSize)) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            throw std::runtime_error("the upload run did not reach the server");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(kAfterUpload);
    return quitMilliseconds(pid);
}

void report(const char* what, std::vector<double> times)
{
    std::printf("%s: tarn ended %.1f ms (median of %zu; slowest %.1f ms) after it was asked to quit\n",
                what, bench::median(times), times.size(), *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = bench::runsFromArguments(argc, argv, 10);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TempDir configHome("tarn-bench-close-config");
    TempDir localDir("tarn-bench-close-local");
    TempDir serverRoot("tarn-bench-close-server");
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    try {
        FtpServerProcess server(serverRoot.path());
        {
            QCoreApplication application(argc, argv);
            storeOneSite(localDir.path().string() + "/", "127.0.0.1:" + std::to_string(server.port()));
        }
        const std::filesystem::path file = localDir.path() / "quit.bin";
        writePatternFile(file, kUploadSize);
        const std::filesystem::path list = localDir.path() / "list.txt";
        std::ofstream(list) << "SITE=Close  FILE=" << file.string() << "\n";

        std::vector<double> idle;
        std::vector<double> connected;
        for (int run = 0; run < runs; ++run) {
            idle.push_back(idleQuitMilliseconds());
            connected.push_back(connectedQuitMilliseconds(list, serverRoot.path() / "quit.bin"));
        }
        report("idle", idle);
        report("connected", connected);
        const double slowest = std::max(*std::max_element(idle.begin(), idle.end()),
                                        *std::max_element(connected.begin(), connected.end()));
        std::printf("close_ms=%.1f goal: <= 200\n", slowest);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_close: %s\n", error.what());
        return 1;
    }
}
