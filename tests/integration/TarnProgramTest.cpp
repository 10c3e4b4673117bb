// The tarn program itself, started as a user or a cron job starts it: --help and --version,
// an upload list run with the window (offscreen) and headless with --batch and no display,
// its exit statuses, and the settings store left as it was.
#include "platform/PasswordStore.h"
#include "platform/Registry.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"
#include "support/LoopbackPorts.h"

#include <gtest/gtest.h>

#include <regex>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sstream>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Every test program shares one settings folder: the settings library fixes its folder at
// first use, so the folder is chosen before any test runs and the tests empty it in turn.
class SettingsHome : public testing::Environment {
public:
    void SetUp() override { setenv("XDG_CONFIG_HOME", m_folder.path().c_str(), 1); installPasswordStore(std::make_unique<SettingsFilePasswordStore>()); }
    static fs::path settingsFile() { return fs::path(std::getenv("XDG_CONFIG_HOME")) / "Kalmor" / "Tarn.conf"; }

private:
    TempDir m_folder{"tarn-program-config"};
};
[[maybe_unused]] testing::Environment* const kSettingsHome = testing::AddGlobalTestEnvironment(new SettingsHome);

struct Finished {
    int status = -1;        // exit status, -1 when a signal ended the program
    std::string out;
    std::string err;
};

// The tarn program running with its output read through pipes; killed and reaped on every
// path that leaves it running.
class TarnProcess {
public:
    TarnProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
    {
        Pipe out;
        Pipe err;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out.writeEnd.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err.writeEnd.get(), STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<std::string> argv = {TARN_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<std::string> envp = environment;
        std::vector<char*> argPointers = pointers(argv);
        std::vector<char*> envPointers = pointers(envp);
        const int error = posix_spawn(&m_pid, TARN_PROGRAM, &actions, nullptr, argPointers.data(),
                                      envPointers.data());
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            throw std::runtime_error(std::string("cannot start tarn: ") + std::strerror(error));
        m_out = std::move(out.readEnd);
        m_err = std::move(err.readEnd);
    }
    ~TarnProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            reap();
        }
    }
    TarnProcess(const TarnProcess&) = delete;
    TarnProcess& operator=(const TarnProcess&) = delete;

    // Reads both outputs until the program closes them or `deadline` passes.
    void readOutputs(std::chrono::milliseconds deadline)
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while ((m_out.get() >= 0 || m_err.get() >= 0) && std::chrono::steady_clock::now() < end) {
            pollfd fds[2] = {{m_out.get(), POLLIN, 0}, {m_err.get(), POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (::poll(fds, 2, static_cast<int>(std::max<long>(1, left.count()))) <= 0)
                continue;
            drain(fds[0], m_out, m_finished.out);
            drain(fds[1], m_err, m_finished.err);
        }
    }

    // Waits for the program to end by itself within `deadline`; a program still running then
    // is killed and the test fails.
    Finished finish(std::chrono::milliseconds deadline = 60s)
    {
        readOutputs(deadline);
        EXPECT_LT(m_out.get(), 0) << "tarn did not end in time";
        if (m_pid > 0) {
            if (m_out.get() >= 0)
                ::kill(m_pid, SIGKILL);
            reap();
        }
        return m_finished;
    }

    bool running()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == 0)
            return true;
        m_finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_pid = -1;
        return false;
    }

    // Whether the program has a handler of its own for `signal` (the SigCgt mask in /proc).
    bool catchesSignal(int signal) const
    {
        const std::string status = readWholeFile("/proc/" + std::to_string(m_pid) + "/status");
        const std::size_t mask = status.find("SigCgt:");
        return mask != std::string::npos && (std::stoull(status.substr(mask + 7), nullptr, 16) >> (signal - 1)) & 1;
    }

    Finished terminate()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
        return finish(20s);
    }

private:
    static std::vector<char*> pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> result;
        for (std::string& text : texts)
            result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    }

    static void drain(const pollfd& fd, UniqueFd& end, std::string& into)
    {
        if (fd.fd < 0 || (fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            return;
        char buffer[4096];
        const ssize_t n = ::read(fd.fd, buffer, sizeof(buffer));
        if (n > 0)
            into.append(buffer, static_cast<std::size_t>(n));
        else
            end.reset();
    }

    void reap()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) == -1 && errno == EINTR) {
        }
        m_finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_pid = -1;
    }

    pid_t m_pid = -1;
    UniqueFd m_out;
    UniqueFd m_err;
    Finished m_finished;
};

// This process's environment without the variables named, plus `added`.
std::vector<std::string> environmentWithout(const std::vector<std::string>& removed,
                                            const std::vector<std::string>& added = {})
{
    std::vector<std::string> result = added;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (std::find(removed.begin(), removed.end(), name) == removed.end())
            result.push_back(variable);
    }
    return result;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class TarnProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        Registry().clearAll();
        writePatternFile(localDir.path() / "one.bin", 200000, 1);
        writePatternFile(localDir.path() / "two.bin", 3000, 2);
        writePatternFile(localDir.path() / "three.bin", 50000, 3);
        // A folder on a list line goes up whole, its structure kept.
        fs::create_directories(localDir.path() / "tree" / "inner" / "empty");
        writePatternFile(localDir.path() / "tree" / "four.bin", 70000, 4);
        writePatternFile(localDir.path() / "tree" / "inner" / "five.bin", 5000, 5);
        fs::create_directory(rootB.path() / "in");
    }
    void TearDown() override { Registry().clearAll(); }

    // Sites "A" (server A's root) and "B" (server B's folder "/in"), stored as the window
    // stores them, with a window settings record beside them.
    void storeSites(const std::string& hostA, const std::string& hostB)
    {
        SiteList.clear();
        for (const auto& [name, host, dir] : {std::tuple{"A", hostA, ""}, std::tuple{"B", hostB, "/in"}}) {
            TSiteRecord site;
            site.Name = name;
            site.Host = host;
            site.User = FtpServerProcess::kUser;
            site.Pass = EncodePassword(FtpServerProcess::kPassword);
            site.RDir = dir;
            site.LDir = localDir.path().string() + "/";
            site.Passive = true;
            SiteList.push_back(site);
        }
        SiteCount = 2;
        CurrentSite = 0;
        SaveSiteList();
        Registry registry;
        ASSERT_TRUE(registry.openKey(Registry::kProgramKey, true));
        const std::uint8_t record[18] = {0, 0, 134, 0, 213, 0, 70, 2, 72, 3, 117, 1, 174, 0, 2, 2, 0, 0};
        registry.writeBinaryData("TarnSettings", record, 18);
        registry.closeKey();
    }

    std::string host(FtpServerProcess& server) { return "127.0.0.1:" + std::to_string(server.port()); }
    std::string local(const std::string& name) { return (localDir.path() / name).string(); }

    std::string writeList(const std::string& text)
    {
        const fs::path path = listDir.path() / "uploads.txt";
        writeWholeFile(path, text);
        return path.string();
    }

    std::string goodList()
    {
        return writeList("SITE=A  FILE=" + local("one.bin") + "\r\nsite=A file=  " + local("two.bin")
                         + "\r\nSITE=B  FILE=" + local("three.bin") + "\r\nSITE=B  FILE=" + local("tree/") + "\r\n");
    }

    bool allArrived()
    {
        std::error_code ignored;
        return fs::exists(rootA.path() / "one.bin", ignored) && readWholeFile(rootA.path() / "one.bin") == readWholeFile(local("one.bin"))
               && fs::exists(rootA.path() / "two.bin", ignored) && readWholeFile(rootA.path() / "two.bin") == readWholeFile(local("two.bin"))
               && fs::exists(rootB.path() / "in" / "three.bin", ignored)
               && readWholeFile(rootB.path() / "in" / "three.bin") == readWholeFile(local("three.bin"))
               && fs::is_directory(rootB.path() / "in" / "tree" / "inner" / "empty", ignored)
               && readWholeFile(rootB.path() / "in" / "tree" / "four.bin") == readWholeFile(local("tree/four.bin"))
               && readWholeFile(rootB.path() / "in" / "tree" / "inner" / "five.bin") == readWholeFile(local("tree/inner/five.bin"));
    }

    // A headless run: no display of any kind in the program's environment, no session bus, and
    // no platform unless one is named (as a desktop session may leave one set for a cron job).
    Finished runBatch(const std::string& list, const std::string& platform = {})
    {
        std::vector<std::string> added = {"TMPDIR=" + tempDir.path().string(), "XDG_RUNTIME_DIR=" + tempDir.path().string()};
        if (!platform.empty())
            added.push_back("QT_QPA_PLATFORM=" + platform);
        TarnProcess tarn({"--batch", list}, environmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TMPDIR",
                                                                "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"}, added));
        return tarn.finish();
    }

    // The window, offscreen, with its failure log in the test's temporary folder.
    TarnProcess startWindow(const std::vector<std::string>& arguments)
    {
        return TarnProcess(arguments, environmentWithout({"QT_QPA_PLATFORM", "TMPDIR"},
                                                      {"QT_QPA_PLATFORM=offscreen", "TMPDIR=" + tempDir.path().string()}));
    }

    // Reads the running program's output until `done` holds; answers whether it did in time.
    static bool runUntil(TarnProcess& tarn, const std::function<bool()>& done)
    {
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (!done() && tarn.running() && std::chrono::steady_clock::now() < end)
            tarn.readOutputs(20ms);
        return done();
    }

    std::string failureLog()
    {
        const fs::path path = tempDir.path() / "FTP-log.txt";
        return fs::exists(path) ? readWholeFile(path) : std::string();
    }

    TempDir rootA{"tarn-program-a"};
    TempDir rootB{"tarn-program-b"};
    TempDir localDir{"tarn-program-local"};
    TempDir listDir{"tarn-program-list"};
    TempDir tempDir{"tarn-program-temp"};
};

TEST_F(TarnProgramTest, TheCommandLineIsAnsweredWithoutADisplay)
{
    const auto environment = environmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    const Finished help = TarnProcess({"--help"}, environment).finish();
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tarn [UPLOADLIST]"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--batch UPLOADLIST"), std::string::npos);
    EXPECT_NE(help.out.find("SITE=sitename  FILE=file path+name"), std::string::npos);
    const Finished version = TarnProcess({"--version"}, environment).finish();
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Tarn 1.7\n");
    const Finished usage = TarnProcess({"--batch"}, environment).finish();
    EXPECT_EQ(usage.status, 1);
    EXPECT_NE(usage.err.find("--batch takes exactly one argument"), std::string::npos) << usage.err;
    const Finished unknown = TarnProcess({"--frobnicate"}, environment).finish();
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("Unknown option --frobnicate.\nUsage: tarn"), std::string::npos) << unknown.err;
    const Finished window = TarnProcess({}, environment).finish();
    EXPECT_EQ(window.status, 1) << "no abort inside the toolkit";
    EXPECT_EQ(lines(window.err).size(), 1u) << window.err;
    // The desktop entry starts the window only: "Open with Tarn" on a file is no upload run.
    EXPECT_NE(readWholeFile(TARN_TEST_DATA_DIR "/../../data/com.kalmor.Tarn.desktop").find("\nExec=tarn\n"), std::string::npos);
}

TEST_F(TarnProgramTest, BatchUploadsAGoodListWithNoDisplayAndLeavesTheSettingsAlone)
{
    FtpServerProcess serverA(rootA.path());
    FtpServerProcess serverB(rootB.path());
    storeSites(host(serverA), host(serverB));
    const std::string settingsBefore = readWholeFile(SettingsHome::settingsFile());

    const Finished run = runBatch(goodList());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(allArrived());
    const std::vector<std::string> out = lines(run.out);
    const auto has = [&](const std::string& text) {
        return std::any_of(out.begin(), out.end(), [&](const std::string& line) {
            return line.size() > 20 && line[4] == '-' && line.find(text) != std::string::npos;
        });
    };
    EXPECT_TRUE(has("Auto-Upload starting.")) << run.out;
    EXPECT_TRUE(has("Upload 1.  Site=A  File=" + local("one.bin")));
    EXPECT_TRUE(has("Upload 3.  Site=B  File=" + local("three.bin")));
    EXPECT_TRUE(has("Folder uploaded: 2 file(s)"));
    EXPECT_TRUE(has("FILE(S) UPLOADED SUCCESSFULLY"));
    EXPECT_EQ(run.out.find("->> "), std::string::npos);
    const std::regex time("\\d\\d:\\d\\d:\\d\\d");
    for (const std::string& line : out)
        EXPECT_EQ(std::distance(std::sregex_iterator(line.begin(), line.end(), time), std::sregex_iterator()), 1) << line;
    EXPECT_EQ(readWholeFile(SettingsHome::settingsFile()), settingsBefore);
}

TEST_F(TarnProgramTest, BatchFailuresEndWithTheirStatusAndOneLineOnStandardError)
{
    FtpServerProcess serverA(rootA.path());
    storeSites(host(serverA), "127.0.0.1:" + std::to_string(closedLoopbackPort()));
    fs::create_directory(rootA.path() / "two.bin");   // the server refuses to store over a folder
    const std::string settingsBefore = readWholeFile(SettingsHome::settingsFile());
    const fs::path log = tempDir.path() / "FTP-log.txt";
    const fs::path victim = listDir.path() / "victim.txt";
    writeWholeFile(victim, "mine");
    const std::string unreachable = "SITE=B FILE=" + local("one.bin") + "\n";
    struct Case {
        const char* what;
        std::string list;
        int status;
        std::string message;
        const char* logged;
        std::function<void()> plantLog = nullptr;   // the log refused, the failure told as ever
    };
    const std::vector<Case> cases = {
        {"unknown site", "SITE=A FILE=" + local("one.bin") + "\nSITE=Z FILE=" + local("one.bin") + "\n", 1,
         "Invalid input line: \"SITE=Z FILE=" + local("one.bin") + "\" Site name not defined Cannot upload.", nullptr},
        {"missing list", "", 1, "Invalid Command Line. File ", nullptr},
        {"unreachable site", "SITE=B FILE=" + local("one.bin") + "\n", 2,
         "Connection failed.  Check you are connected to the Internet", "*CF*"},
        {"refused upload", "SITE=A FILE=" + local("two.bin") + "\n", 3,
         "Upload of SITE=A FILE=" + local("two.bin") + " failed", "*R-Up*"},
        {"NUL byte", "SITE=A FILE=" + local("one.bin") + "\nSITE=A FILE=" + local("three.bin") + std::string("\0\n", 2), 1,
         "Line 2 holds a NUL byte", nullptr},
        {"over-long line", "SITE=A FILE=" + local("one.bin") + std::string(100000, 'x') + "\n", 1, "File does not exist", nullptr},
        {"log a link", unreachable, 2, "Connection failed.  Check", nullptr, [&] { fs::create_symlink(victim, log); }},
        {"log a FIFO", unreachable, 2, "Connection failed.  Check", nullptr, [&] { mkfifo(log.c_str(), 0600); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(log);
        if (c.plantLog)
            c.plantLog();
        const std::string list = c.list.empty() ? (listDir.path() / "absent.txt").string() : writeList(c.list);
        // A desktop's platform named with no display behind it changes nothing.
        const Finished run = runBatch(list, "xcb");
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        if (c.status == 1) {
            EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
        }
        EXPECT_LT(run.err.size(), 1500u) << "no line is echoed whole";
        if (c.plantLog) {
            EXPECT_NE(run.err.find("Cannot write the failure log"), std::string::npos) << run.err;
        }
        if (c.logged) {
            EXPECT_NE(failureLog().find(c.logged), std::string::npos) << failureLog();
        }
        EXPECT_FALSE(fs::exists(rootA.path() / "one.bin"));
        EXPECT_EQ(readWholeFile(SettingsHome::settingsFile()), settingsBefore);
    }
    EXPECT_EQ(readWholeFile(victim), "mine") << "nothing written through the link";
}

TEST_F(TarnProgramTest, BatchWithoutASessionBusUploadsOnlyWithPasswordsKeptInTheSettingsFile)
{
    FtpServerProcess serverA(rootA.path());
    FtpServerProcess serverB(rootB.path());
    storeSites(host(serverA), host(serverB));
    SiteList[0].Pass.clear();
    SiteList[0].PassEntry = "Tarn: A (tarn@" + host(serverA) + ")";
    SiteList[1].KeepPass = true;
    SaveSiteList();

    const Finished keyringOnly = runBatch(writeList("SITE=A FILE=" + local("one.bin") + "\n"));
    EXPECT_EQ(keyringOnly.status, 2);
    EXPECT_EQ(lines(keyringOnly.err), std::vector<std::string>{
        "Site A: its password is in the desktop keyring, which this run cannot reach (no session bus). To keep a "
        "password for unattended runs, tick \"Keep the password in the settings file for unattended runs\" in the "
        "site editor."});
    EXPECT_FALSE(fs::exists(rootA.path() / "one.bin"));

    const Finished kept = runBatch(writeList("SITE=B FILE=" + local("three.bin") + "\n"));
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(readWholeFile(rootB.path() / "in" / "three.bin"), readWholeFile(local("three.bin")));
}

TEST_F(TarnProgramTest, AListOnTheCommandLineRunsInTheWindowAndStaysOpen)
{
    FtpServerProcess serverA(rootA.path());
    FtpServerProcess serverB(rootB.path());
    storeSites(host(serverA), host(serverB));
    TarnProcess tarn = startWindow({goodList()});
    // Any box would stop the run before the last file, and the program stays open after it.
    EXPECT_TRUE(runUntil(tarn, [&] { return allArrived(); }));
    ASSERT_TRUE(tarn.running());
    EXPECT_TRUE(failureLog().empty()) << failureLog();
    // SIGTERM quits as the Quit command does; a box still open would keep the program running.
    const Finished quit = tarn.terminate();
    EXPECT_EQ(quit.status, 0) << quit.err;
    Registry registry;
    ASSERT_TRUE(registry.openKey(Registry::kProgramKey, false));
    std::uint8_t record[18] = {};
    EXPECT_EQ(registry.readBinaryData("TarnSettings", record, 18), 18);
    registry.closeKey();
    EXPECT_EQ(record[0], 1) << "the window closed with the last site of the list selected";
}

// SIGTERM ends the program whatever box is open: here the first start's, opened once the handler is.
TEST_F(TarnProgramTest, SigtermEndsTheProgramWhileABoxIsOpen)
{
    TarnProcess tarn = startWindow({});
    ASSERT_TRUE(runUntil(tarn, [&] { return tarn.catchesSignal(SIGTERM); }));
    const Finished quit = tarn.terminate();
    EXPECT_EQ(quit.status, 0) << quit.err;
}

} // namespace

TEST_F(TarnProgramTest, BatchNeverAsksAboutAnUntrustedCertificate)
{
    FtpServerProcess serverA(rootA.path(), "127.0.0.1",
                             {"--tls", "explicit", "--tls-cert", (tempDir.path() / "cert.pem").string()});
    storeSites(host(serverA), host(serverA));
    SiteList[0].Encryption = TSiteEncryption::RequireExplicit;
    SaveSiteList();

    const Finished run = runBatch(writeList("SITE=A FILE=" + local("one.bin") + "\n"));

    EXPECT_EQ(run.status, 2) << run.err;
    ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
    EXPECT_TRUE(std::regex_search(run.err, std::regex("SHA-256 fingerprint ([0-9A-F]{2}:){31}[0-9A-F]{2}\\. "
                                                      "To trust it, connect to the site once from the window")))
        << run.err;
    EXPECT_FALSE(fs::exists(rootA.path() / "one.bin"));
}
