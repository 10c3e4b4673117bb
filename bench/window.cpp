// Window benchmark: the 1 GiB download and upload of bench/transfer.cpp done by the main window
// (TFTPForm offscreen, connected through a stored site) and by the session alone in the same
// run, alternating; a 10 ms timer measuring how late the window's event loop runs during the
// window's transfers; and a directory of 100,000 files listed into the remote pane against
// curl's raw LIST of the same directory. Last line: window_vs_session (the lower of the
// download and upload ratios), max_event_latency_ms and pane_vs_curl.
#include "app/panes/PaneView.h"
#include "app/window/FTPUnit.h"
#include "BenchSupport.h"
#include "ftp/IdFTP.h"
#include "net/IdAntiFreeze.h"
#include "platform/Dialogs.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"
#include "support/ScriptedFtpServer.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kFileSize = std::int64_t{1} << 30;
constexpr int kListingFiles = 100000;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr auto kTick = std::chrono::milliseconds(10);

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// A timer that should fire every 10 ms; records how much later than that the event loop let
// it fire. The gap up to stop() counts too, so a loop that never runs shows its whole stall.
class EventLatencyProbe {
public:
    EventLatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTick);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { record(); });
    }

    void start()
    {
        m_last = Clock::now();
        m_timer.start();
    }

    void stop()
    {
        record();
        m_timer.stop();
    }

    double maxLateMs() const { return m_maxLateMs; }
    void reset() { m_maxLateMs = 0; }

private:
    void record()
    {
        const Clock::time_point now = Clock::now();
        m_maxLateMs = std::max(m_maxLateMs, milliseconds(now - m_last - kTick));
        m_last = now;
    }

    QTimer m_timer;
    Clock::time_point m_last;
    double m_maxLateMs = 0;
};

void writeBigFile(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::int64_t at = 0; at < kFileSize; at += ScriptedFtpServer::kMaxSpan) {
        const std::string_view span = ScriptedFtpServer::generatedSpan(at, ScriptedFtpServer::kMaxSpan);
        out.write(span.data(), static_cast<std::streamsize>(span.size()));
    }
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

// The upload source: the server's file under another name, linked rather than copied when the
// two folders share a file system.
void provideUploadSource(const fs::path& serverFile, const fs::path& source)
{
    std::error_code error;
    fs::create_hard_link(serverFile, source, error);
    if (error)
        fs::copy_file(serverFile, source);
}

void fillListingDirectory(const fs::path& directory)
{
    fs::create_directory(directory);
    char name[64];
    for (int i = 0; i < kListingFiles; ++i) {
        std::snprintf(name, sizeof name, "file %06d.dat", i);
        const int fd = open((directory / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot create the listing files");
        const bool sized = ftruncate(fd, i % 5000) == 0; // sparse: sizes without disk use
        close(fd);
        if (!sized)
            throw std::runtime_error("cannot size the listing files");
    }
}

void requireFileSize(const fs::path& file, const char* who)
{
    std::error_code error;
    if (fs::file_size(file, error) != static_cast<std::uintmax_t>(kFileSize))
        throw std::runtime_error(std::string(who) + ": " + file.string() + " has the wrong size");
}

// The one site of the benchmark's own settings folder, as the site editor would store it.
void storeBenchSite(std::uint16_t port, const fs::path& localDir)
{
    TSiteRecord site;
    site.Name = "Bench";
    site.Host = "127.0.0.1:" + std::to_string(port);
    site.User = FtpServerProcess::kUser;
    site.Pass = EncodePassword(FtpServerProcess::kPassword);
    site.RDir = "/";
    site.LDir = localDir.string();
    site.Passive = true;
    site.KeepPass = true;   // the user's own keyring is not the benchmark's to fill
    SiteList = {site};
    SiteCount = 1;
    CurrentSite = 0;
    SaveSiteList();
}

std::string boxesShown(const ScriptedDialogs& script)
{
    std::string texts;
    for (const QString& text : script.boxTexts())
        texts += "\n  box: " + text.toStdString();
    return texts;
}

// Switches the window's message pump off for a scope, so that a session of its own runs as it
// would in a program without a window.
class PumpOff {
public:
    explicit PumpOff(TFTPForm& window) : m_pump(window.pump()) { m_pump.Active = false; }
    ~PumpOff() { m_pump.Active = true; }
    PumpOff(const PumpOff&) = delete;
    PumpOff& operator=(const PumpOff&) = delete;

private:
    TIdAntiFreeze& m_pump;
};

class Bench {
public:
    Bench(TFTPForm& window, const ScriptedDialogs& script, const fs::path& serverRoot,
          const fs::path& localDir, std::uint16_t port)
        : m_window(window), m_script(script), m_serverRoot(serverRoot), m_localDir(localDir), m_port(port)
    {
    }

    void connectWindow()
    {
        m_window.findChild<QAction*>("acConnect")->trigger();
        if (!m_window.session().IsConnected())
            throw std::runtime_error("the window did not connect to its site" + boxesShown(m_script));
    }

    double windowDownload()
    {
        return timedDownload([&](const fs::path& target) {
            m_probe.start();
            const bool done = m_window.transfers().DownloadFile("big.bin", target.string(), 1);
            m_probe.stop();
            if (!done)
                throw std::runtime_error("the window's download failed" + boxesShown(m_script));
        });
    }

    double windowUpload()
    {
        return timedUpload([&](const fs::path& source) {
            m_probe.start();
            const bool done = m_window.transfers().UploadFile(source.string());
            m_probe.stop();
            if (!done)
                throw std::runtime_error("the window's upload failed" + boxesShown(m_script));
        });
    }

    double sessionDownload()
    {
        const PumpOff noPump(m_window);
        TIdFTP session;
        openAlone(session);
        const double time = timedDownload([&](const fs::path& target) {
            session.SetTransferType(TIdFTPTransferType::ftBinary);
            (void)session.QueryFileSize("big.bin");
            session.Download("big.bin", target.string(), true);
        });
        session.CloseSession();
        return time;
    }

    double sessionUpload()
    {
        const PumpOff noPump(m_window);
        TIdFTP session;
        openAlone(session);
        const double time = timedUpload([&](const fs::path& source) {
            session.SetTransferType(TIdFTPTransferType::ftBinary);
            session.Upload(source.string(), source.filename().string());
        });
        session.CloseSession();
        return time;
    }

    // From the call to the pane filled and sorted, and the window's pending repaint done.
    double paneListing(double& latencyMs)
    {
        m_probe.reset();
        m_probe.start();
        const double time = bench::seconds([&] {
            m_window.findChild<QAction*>("acRemoteRefresh")->trigger();
            QCoreApplication::processEvents();
        });
        m_probe.stop();
        latencyMs = m_probe.maxLateMs();
        if (m_window.findChild<PaneView*>("LVR")->rowCount() != kListingFiles)
            throw std::runtime_error("the remote pane shows " + std::to_string(m_window.findChild<PaneView*>("LVR")->rowCount())
                                     + " rows, expected " + std::to_string(kListingFiles) + boxesShown(m_script));
        return time;
    }

    double curlListing()
    {
        const std::string url = "ftp://" + std::string(FtpServerProcess::kUser) + ":" + FtpServerProcess::kPassword
                              + "@127.0.0.1:" + std::to_string(m_port) + "/many/";
        return bench::seconds([&] {
            if (!bench::runCurl({"-o", "/dev/null", url}))
                throw std::runtime_error("curl listing failed");
        });
    }

    double maxTransferLatencyMs() const { return m_probe.maxLateMs(); }

private:
    // The session alone gets the window's session settings.
    void openAlone(TIdFTP& session)
    {
        session.Host = "127.0.0.1";
        session.Port = m_port;
        session.SetUsername(FtpServerProcess::kUser);
        session.SetPassword(FtpServerProcess::kPassword);
        session.Passive = true;
        session.RecvBufferSize = m_window.session().RecvBufferSize;
        session.SendBufferSize = m_window.session().SendBufferSize;
        session.OpenSession();
    }

    double timedDownload(const std::function<void(const fs::path&)>& download)
    {
        const fs::path target = m_localDir / "down.bin";
        fs::remove(target);
        const double time = bench::seconds([&] { download(target); });
        requireFileSize(target, "download");
        fs::remove(target);
        return time;
    }

    double timedUpload(const std::function<void(const fs::path&)>& upload)
    {
        const fs::path uploaded = m_serverRoot / "up.bin";
        fs::remove(uploaded);
        const double time = bench::seconds([&] { upload(m_localDir / "up.bin"); });
        requireFileSize(uploaded, "upload");
        fs::remove(uploaded);
        return time;
    }

    TFTPForm& m_window;
    const ScriptedDialogs& m_script;
    fs::path m_serverRoot;
    fs::path m_localDir;
    std::uint16_t m_port;
    EventLatencyProbe m_probe;
};

void showWindow(TFTPForm& window)
{
    window.show();
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!window.isVisible() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

// Times the same transfer by the window and by the session alone, in the order given, so that
// alternating runs keep either from always meeting the colder caches.
void timePair(bool windowFirst, const std::function<double()>& byWindow, const std::function<double()>& alone,
              std::vector<double>& windowTimes, std::vector<double>& aloneTimes)
{
    if (windowFirst)
        windowTimes.push_back(byWindow());
    aloneTimes.push_back(alone());
    if (!windowFirst)
        windowTimes.push_back(byWindow());
}

struct Results {
    std::vector<double> windowDown, sessionDown, windowUp, sessionUp, pane, curl;
    double latencyMs;
    double listingLatencyMs;
    double transferPeakMiB;
};

double rate(double seconds)
{
    return kFileSize / kMiB / seconds;
}

// The median MiB/s with the slowest and fastest run: the machine is shared, so the spread says
// how far to trust the median.
std::string rateText(const std::vector<double>& times)
{
    const auto [fastest, slowest] = std::minmax_element(times.begin(), times.end());
    char text[80];
    std::snprintf(text, sizeof text, "%7.1f MiB/s (%.0f-%.0f)", rate(bench::median(times)), rate(*slowest),
                  rate(*fastest));
    return text;
}

double loadAverage()
{
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

void printResults(const Results& r, int runs)
{
    const double downRatio = rate(bench::median(r.windowDown)) / rate(bench::median(r.sessionDown));
    const double upRatio = rate(bench::median(r.windowUp)) / rate(bench::median(r.sessionUp));
    const double paneRatio = bench::median(r.pane) / bench::median(r.curl);
    std::printf("1 GiB over loopback from pyftpdlib, %d runs each, median MiB/s (slowest-fastest); load average "
                "%.1f\n", runs, loadAverage());
    std::printf("download  window %s   session alone %s   ratio %.3f\n", rateText(r.windowDown).c_str(),
                rateText(r.sessionDown).c_str(), downRatio);
    std::printf("upload    window %s   session alone %s   ratio %.3f\n", rateText(r.windowUp).c_str(),
                rateText(r.sessionUp).c_str(), upRatio);
    std::printf("largest lateness of a 10 ms timer during the window's transfers: %.1f ms\n", r.latencyMs);
    std::printf("peak_rss_mib after the transfers=%.1f\n", r.transferPeakMiB);
    std::printf("%d files, median seconds: remote pane listed, filled and sorted %.3f s; curl raw LIST %.3f s\n",
                kListingFiles, bench::median(r.pane), bench::median(r.curl));
    std::printf("largest lateness of the timer while the pane was listed: %.1f ms\n", r.listingLatencyMs);
    std::printf("peak_rss_mib after the listings=%.1f\n", bench::peakResidentMiB());
    std::printf("window_vs_session is the lower of the download and upload ratios; goals: >= 0.95, "
                "max_event_latency_ms <= 50, pane_vs_curl <= 1.5\n");
    std::printf("window_vs_session=%.2f max_event_latency_ms=%.1f pane_vs_curl=%.2f\n", std::min(downRatio, upRatio),
                r.latencyMs, paneRatio);
}

int runBench(int runs)
{
    TempDir serverRoot("tarn-bench-window-root");
    TempDir localDir("tarn-bench-window-local");
    writeBigFile(serverRoot.path() / "big.bin");
    provideUploadSource(serverRoot.path() / "big.bin", localDir.path() / "up.bin");
    fillListingDirectory(serverRoot.path() / "many");
    FtpServerProcess server(serverRoot.path());
    storeBenchSite(server.port(), localDir.path());

    auto recorder = std::make_unique<ScriptedDialogs>();
    const ScriptedDialogs& script = *recorder;
    installDialogs(std::move(recorder));
    TFTPForm window(QStringList{QStringLiteral("tarn")});
    showWindow(window);
    Bench bench(window, script, serverRoot.path(), localDir.path(), server.port());
    bench.connectWindow();

    std::vector<double> windowDown, sessionDown, windowUp, sessionUp;
    for (int run = 0; run < runs; ++run) {
        const bool windowFirst = run % 2 == 0;
        timePair(windowFirst, [&] { return bench.windowDownload(); }, [&] { return bench.sessionDownload(); },
                 windowDown, sessionDown);
        timePair(windowFirst, [&] { return bench.windowUpload(); }, [&] { return bench.sessionUpload(); },
                 windowUp, sessionUp);
    }
    const double transferPeakMiB = bench::peakResidentMiB();
    const double latencyMs = bench.maxTransferLatencyMs();

    window.session().ChangeDirectory("many");
    std::vector<double> pane, curl;
    double listingLatencyMs = 0;
    for (int run = 0; run < runs; ++run) {
        double latency = 0;
        pane.push_back(bench.paneListing(latency));
        listingLatencyMs = std::max(listingLatencyMs, latency);
        curl.push_back(bench.curlListing());
    }
    window.findChild<QAction*>("acConnect")->trigger(); // disconnect: QUIT before the server goes away

    printResults({windowDown, sessionDown, windowUp, sessionUp, pane, curl, latencyMs, listingLatencyMs,
                  transferPeakMiB},
                 runs);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = bench::runsFromArguments(argc, argv, 5);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The benchmark's site lives in a settings folder of its own, never in the user's.
    TempDir configHome("tarn-bench-window-config");
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    QApplication application(argc, argv);
    try {
        return runBench(runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_window: %s\n", error.what());
        return 1;
    }
}
