// The stored queue: the items not finished yet and their sites (never a password) in an
// SQLite file in the settings folder, so the queue survives a restart.
#pragma once

#include "queue/QueueItem.h"

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

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

    // One transaction: the sites and items written (inserted or replaced), then the items
    // removed. False when it failed (the queue keeps them to write again).
    bool write(const std::map<std::int64_t, const SiteLogin*>& sites, const std::vector<const QueueItem*>& items,
               const std::vector<std::int64_t>& removed);

private:
    bool createTables();

    QString m_connection;
    QSqlDatabase m_database;
    bool m_open = false;
};

// Beside the settings file: ~/.config/Kalmor/TarnQueue.sqlite on Linux.
QString defaultQueueStorePath();
