// Queue benchmark against lftp on the same real server (pyftpdlib) in the same run: 10,000
// files of 4 KiB in 100 folders uploaded and downloaded with 4 connections (the queue against
// lftp's mirror -R and mirror, --parallel=4, the best of three alternating rounds), and a 1 GiB
// file down and up (the queue against lftp's get and put, medians of three alternating rounds). A 10 ms timer on the controller's thread measures how late the thread
// answers while the queue runs; the time the queue takes to quit in the middle of a transfer
// is shown too. Last line: tree_up_vs_lftp tree_down_vs_lftp big_vs_lftp max_event_latency_ms.
#include "BenchSupport.h"
#include "queue/TransferQueue.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <iostream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr std::int64_t kSmallFile = 4096;
constexpr std::int64_t kBigFile = std::int64_t{1} << 30;
constexpr int kBigRounds = 3;
constexpr int kTreeRounds = 3;

void writeTree(const fs::path& root)
{
    const std::string block(kSmallFile, 'q');
    for (int folder = 0; folder < kFolders; ++folder) {
        const fs::path path = root / ("folder " + std::to_string(folder));
        fs::create_directories(path);
        for (int file = 0; file < kFilesPerFolder; ++file)
            std::ofstream(path / ("file " + std::to_string(file) + ".txt"), std::ios::binary) << block;
    }
}

std::size_t countFiles(const fs::path& root)
{
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        count += entry.is_regular_file();
    return count;
}

// The largest delay of a 10 ms timer while it runs.
class LatencyProbe {
public:
    LatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            const double late = std::chrono::duration<double, std::milli>(now - m_last).count() - 10;
            m_worst = std::max(m_worst, late);
            m_last = now;
        });
    }
    void start()
    {
        m_last = Clock::now();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double worst() const { return m_worst; }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    double m_worst = 0;
};

// Loopback connections in TIME_WAIT (state 06 in /proc/net/tcp).
int connectionsInTimeWait()
{
    int count = 0;
    std::ifstream table("/proc/net/tcp");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        count += state == "06";
    }
    return count;
}

// Each timed run starts with no dirty pages from the runs before it, so none pays for another's
// writes; and with the ports the runs before it left in TIME_WAIT free again: 10,000 files are
// 10,000 data connections, and three such runs within a minute exhaust the ephemeral ports.
void settle()
{
    ::sync();
    const auto end = Clock::now() + std::chrono::seconds(120);
    while (connectionsInTimeWait() > 1000 && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

class Bench {
public:
    explicit Bench(const fs::path& store) : m_store(store)
    {
        m_site.name = "bench";
        m_site.host = "127.0.0.1";
        m_site.port = m_server.port();
        m_site.user = FtpServerProcess::kUser;
        m_site.password = FtpServerProcess::kPassword;
        m_site.connections = 4;
    }

    const fs::path& root() const { return m_root.path(); }
    const fs::path& local() const { return m_local.path(); }
    double worstLatency() const { return m_probe.worst(); }

    // The whole run of one queue: from start to its end, store included.
    double queue(const std::function<void(TransferQueue&)>& add)
    {
        TransferQueue queue({QString::fromStdString(m_store.string()), std::chrono::milliseconds(500)});
        queue.setExistsRule(ExistsRule::Overwrite);
        add(queue);
        QEventLoop loop;
        QObject::connect(&queue, &TransferQueue::runFinished, &loop, &QEventLoop::quit);
        settle();
        m_probe.start();
        const double seconds = bench::seconds([&] {
            queue.start();
            if (queue.isRunning())
                loop.exec();
        });
        m_probe.stop();
        if (queue.totals().failed > 0)
            std::cerr << "the queue failed " << queue.totals().failed << " items\n";
        return seconds;
    }

    double upload(const fs::path& local, const std::string& remote)
    {
        return queue([&](TransferQueue& q) { q.addUpload(m_site, local.string(), remote); });
    }

    double download(const std::string& remote, const fs::path& local, QueueItemKind kind)
    {
        return queue([&](TransferQueue& q) { q.addDownload(m_site, remote, local.string(), kind); });
    }

    double lftp(const std::string& commands)
    {
        const std::string script = "set ftp:ssl-allow no; set ftp:passive-mode on; set net:max-retries 1; "
                                   "set xfer:clobber on; " + commands + "; quit";
        settle();
        return bench::seconds([&] {
            if (!bench::run({"lftp", "-u", std::string(FtpServerProcess::kUser) + "," + FtpServerProcess::kPassword,
                             "-p", std::to_string(m_server.port()), "-e", script, "127.0.0.1"}))
                std::cerr << "lftp failed: " << commands << "\n";
        });
    }

    // How long the queue takes to quit in the middle of a download.
    double quitMilliseconds()
    {
        auto queue = std::make_unique<TransferQueue>(TransferQueue::Options{});
        queue->addDownload(m_site, "/big-q.bin", (local() / "quit.bin").string(), QueueItemKind::File);
        queue->start();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        return 1000 * bench::seconds([&] { queue.reset(); });
    }

private:
    TempDir m_root{"tarn-bench-queue-root"};
    TempDir m_local{"tarn-bench-queue-local"};
    FtpServerProcess m_server{m_root.path()};
    fs::path m_store;
    SiteLogin m_site;
    LatencyProbe m_probe;
};

double best(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

void report(const char* what, double ours, double theirs)
{
    std::cout << what << ": queue " << ours << " s, lftp " << theirs << " s, ratio " << ours / theirs << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    TempDir store("tarn-bench-queue-store");
    Bench bench(store.path() / "queue.sqlite");
    const fs::path tree = bench.local() / "tree";
    writeTree(tree);
    writePatternFile(bench.local() / "big.bin", kBigFile, 7);

    // Each tree in alternating rounds into fresh targets, the best of each: the machine's other
    // work only ever slows a round down.
    std::vector<double> treeUps, treeUpsLftp, treeDowns, treeDownsLftp;
    for (int round = 0; round < kTreeRounds; ++round) {
        const std::string n = std::to_string(round);
        treeUps.push_back(bench.upload(tree, "/tree-q" + n));
        treeUpsLftp.push_back(bench.lftp("mirror -R --parallel=4 '" + tree.string() + "' /tree-l" + n));
        treeDowns.push_back(bench.download("/tree-q" + n, bench.local() / ("down-q" + n), QueueItemKind::Folder));
        treeDownsLftp.push_back(
            bench.lftp("mirror --parallel=4 /tree-l" + n + " '" + (bench.local() / ("down-l" + n)).string() + "'"));
        std::cout << "files: " << countFiles(bench.root() / ("tree-q" + n)) << " up, "
                  << countFiles(bench.local() / ("down-q" + n)) << " down" << std::endl;
    }
    const double treeUp = best(treeUps), treeUpLftp = best(treeUpsLftp);
    const double treeDown = best(treeDowns), treeDownLftp = best(treeDownsLftp);
    report("tree up (best)", treeUp, treeUpLftp);
    report("tree down (best)", treeDown, treeDownLftp);

    // The large file in alternating rounds, medians: one round is at the mercy of the page cache.
    std::vector<double> bigUps, bigUpsLftp, bigDowns, bigDownsLftp;
    for (int round = 0; round < kBigRounds; ++round) {
        bigUps.push_back(bench.upload(bench.local() / "big.bin", "/big-q.bin"));
        bigUpsLftp.push_back(bench.lftp("put '" + (bench.local() / "big.bin").string() + "' -o /big-l.bin"));
        fs::remove(bench.local() / "big-q.bin");
        fs::remove(bench.local() / "big-l.bin");
        bigDowns.push_back(bench.download("/big-q.bin", bench.local() / "big-q.bin", QueueItemKind::File));
        bigDownsLftp.push_back(bench.lftp("get /big-l.bin -o '" + (bench.local() / "big-l.bin").string() + "'"));
    }
    const double bigUp = bench::median(bigUps), bigUpLftp = bench::median(bigUpsLftp);
    const double bigDown = bench::median(bigDowns), bigDownLftp = bench::median(bigDownsLftp);
    report("1 GiB up (median)", bigUp, bigUpLftp);
    report("1 GiB down (median)", bigDown, bigDownLftp);
    std::cout << "quit in the middle of a download: " << bench.quitMilliseconds() << " ms" << std::endl;

    std::cout << "tree_up_vs_lftp=" << treeUp / treeUpLftp << " tree_down_vs_lftp=" << treeDown / treeDownLftp
              << " big_vs_lftp=" << std::max(bigUp / bigUpLftp, bigDown / bigDownLftp)
              << " max_event_latency_ms=" << bench.worstLatency() << std::endl;
    return 0;
}
