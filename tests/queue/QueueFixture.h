// What the queue's end-to-end tests share: the real server over a temporary root, local
// folders, a queue over a temporary store, waits on the event loop with a deadline, and a
// tree's snapshot (paths, kinds, bytes, times) to compare two trees by.
#pragma once

#include "net/IdAntiFreeze.h"
#include "queue/TransferQueue.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

struct TreeEntry {
    bool folder = false;
    std::string bytes;
    std::int64_t modified = 0;
    bool operator==(const TreeEntry&) const = default;
};
using TreeSnapshot = std::map<std::string, TreeEntry>;

inline TreeSnapshot snapshot(const fs::path& root)
{
    TreeSnapshot tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        ::stat(entry.path().c_str(), &info);
        const bool folder = entry.is_directory();
        tree[entry.path().lexically_relative(root).string()] =
            TreeEntry{folder, folder ? std::string() : readWholeFile(entry.path()), folder ? 0 : info.st_mtim.tv_sec};
    }
    return tree;
}

// The paths where two trees differ (missing, extra, other kind, bytes or time); "" when none.
inline std::string treeDifferences(const TreeSnapshot& actual, const TreeSnapshot& expected)
{
    std::string differences;
    for (const auto& [path, entry] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end())
            differences += "missing: " + path + "\n";
        else if (!(it->second == entry))
            differences += (it->second.bytes == entry.bytes ? "time differs: " : "differs: ") + path + "\n";
    }
    for (const auto& [path, entry] : actual) {
        if (!expected.count(path))
            differences += "extra: " + path + "\n";
    }
    return differences;
}

// The server's transfer log: "RETR /root/set/file 1.bin 65536", the offset last.
struct LoggedTransfer {
    std::string command;
    std::string path;
    std::int64_t offset = 0;
};

inline std::vector<LoggedTransfer> transferLog(const fs::path& file)
{
    std::vector<LoggedTransfer> transfers;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::size_t first = line.find(' ');
        const std::size_t last = line.rfind(' ');
        transfers.push_back({line.substr(0, first), line.substr(first + 1, last - first - 1),
                             std::stoll(line.substr(last + 1))});
    }
    return transfers;
}

class QueueFixture : public testing::Test {
protected:
    void startServer(const std::vector<std::string>& options = {})
    {
        m_server = std::make_unique<FtpServerProcess>(m_root.path(), "127.0.0.1", options);
    }

    SiteLogin site(int connections = 4) const
    {
        SiteLogin login;
        login.name = "test server";
        login.host = "127.0.0.1";
        login.port = m_server->port();
        login.user = FtpServerProcess::kUser;
        login.password = FtpServerProcess::kPassword;
        login.connections = connections;
        return login;
    }

    std::unique_ptr<TransferQueue> makeQueue(ExistsRule rule = ExistsRule::Overwrite)
    {
        auto queue = std::make_unique<TransferQueue>(TransferQueue::Options{
            QString::fromStdString((m_store.path() / "queue.sqlite").string()), std::chrono::milliseconds(50)});
        queue->setExistsRule(rule);
        return queue;
    }

    // Runs the event loop until the condition holds; false when the deadline passed first.
    static bool waitFor(const std::function<bool()>& condition, std::chrono::seconds deadline = std::chrono::seconds(120))
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    }

    static void runToEnd(TransferQueue& queue)
    {
        queue.start();
        ASSERT_TRUE(waitFor([&] { return !queue.isRunning(); })) << "the queue did not finish in time";
    }

    // Every item by its direction and remote path: "down:/set/file 1.bin".
    static std::map<std::string, const QueueItem*> itemsByName(const TransferQueue& queue)
    {
        std::map<std::string, const QueueItem*> items;
        for (std::int64_t id : queue.itemIds()) {
            const QueueItem* item = queue.item(id);
            items[(item->direction == QueueDirection::Upload ? "up:" : "down:") + item->remotePath] = item;
        }
        return items;
    }

    // As in the window: a message pump is installed on this thread. A worker never runs it.
    TIdAntiFreeze m_pump;
    bool m_pumpedElsewhere = false;

    void SetUp() override
    {
        m_pump.OnPumpMessages = [this, main = std::this_thread::get_id()](bool) {
            m_pumpedElsewhere = m_pumpedElsewhere || std::this_thread::get_id() != main;
        };
    }
    void TearDown() override { EXPECT_FALSE(m_pumpedElsewhere); }

    TempDir m_root{"tarn-queue-root"};
    TempDir m_local{"tarn-queue-local"};
    TempDir m_store{"tarn-queue-store"};
    std::unique_ptr<FtpServerProcess> m_server;
};
