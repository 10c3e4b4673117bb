// The stored queue: the items not finished yet and their sites (never a password) in an
// SQLite file in the settings folder, so the queue survives a restart.
#pragma once

#include "queue/QueueItem.h"

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

// What one transaction writes: sites and items inserted or replaced, then items removed.
struct StoreBatch {
    std::map<std::int64_t, SiteLogin> sites;
    std::vector<QueueItem> items;
    std::vector<std::int64_t> removed;
};

// The store's file, used from the one thread that opened it.
class QueueStore {
public:
    // Opens or creates the file. One that cannot be opened leaves the queue in memory only.
    explicit QueueStore(const QString& path);
    ~QueueStore();
    QueueStore(const QueueStore&) = delete;
    QueueStore& operator=(const QueueStore&) = delete;

    bool isOpen() const { return m_open; }

    struct Contents {
        std::map<std::int64_t, SiteLogin> sites;
        std::vector<QueueItem> items; // in id order
    };
    Contents load();

    // False when the transaction failed.
    bool write(const StoreBatch& batch);

private:
    bool createTables();

    QString m_connection;
    QSqlDatabase m_database;
    bool m_open = false;
};

// Beside the settings file: ~/.config/Kalmor/TarnQueue.sqlite on Linux.
QString defaultQueueStorePath();
