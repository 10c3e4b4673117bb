// The stored queue over Qt's SQLite driver.
#include "queue/QueueStore.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string text(const QVariant& value)
{
    const QByteArray data = value.toByteArray();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

QString uniqueConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("tarn-queue-%1").arg(++counter);
}

SiteLogin readSite(const QSqlQuery& query)
{
    SiteLogin site;
    site.name = text(query.value(1));
    site.host = text(query.value(2));
    site.port = query.value(3).toInt();
    site.user = text(query.value(4));
    site.passive = query.value(5).toBool();
    site.connections = query.value(6).toInt();
    site.tlsMode = query.value(7).toInt();
    site.trustedFingerprint = text(query.value(8));
    return site;
}

QueueItem readItem(const QSqlQuery& query)
{
    QueueItem item;
    item.id = query.value(0).toLongLong();
    item.parent = query.value(1).toLongLong();
    item.site = query.value(2).toLongLong();
    item.direction = static_cast<QueueDirection>(query.value(3).toInt());
    item.kind = static_cast<QueueItemKind>(query.value(4).toInt());
    item.localPath = text(query.value(5));
    item.remotePath = text(query.value(6));
    item.source.size = query.value(7).toLongLong();
    item.source.exists = true;
    if (!query.value(8).isNull())
        item.source.modified = query.value(8).toLongLong();
    item.state = static_cast<QueueItemState>(query.value(9).toInt());
    // An item that was running when the program ended waits again; its partial file stays.
    if (item.state == QueueItemState::Running)
        item.state = QueueItemState::Waiting;
    item.transferred = query.value(10).toLongLong();
    item.reason = text(query.value(11));
    item.retries = query.value(12).toInt();
    item.continueTarget = query.value(13).toBool();
    return item;
}

void bindItem(QSqlQuery& query, const QueueItem& item)
{
    query.bindValue(0, static_cast<qlonglong>(item.id));
    query.bindValue(1, static_cast<qlonglong>(item.parent));
    query.bindValue(2, static_cast<qlonglong>(item.site));
    query.bindValue(3, static_cast<int>(item.direction));
    query.bindValue(4, static_cast<int>(item.kind));
    query.bindValue(5, bytes(item.localPath));
    query.bindValue(6, bytes(item.remotePath));
    query.bindValue(7, static_cast<qlonglong>(item.source.size));
    query.bindValue(8, item.source.modified ? QVariant(static_cast<qlonglong>(*item.source.modified))
                                            : QVariant(QMetaType(QMetaType::LongLong)));
    query.bindValue(9, static_cast<int>(item.state));
    query.bindValue(10, static_cast<qlonglong>(item.transferred));
    query.bindValue(11, bytes(item.reason));
    query.bindValue(12, item.retries);
    query.bindValue(13, item.continueTarget);
}

void bindSite(QSqlQuery& query, std::int64_t id, const SiteLogin& site)
{
    query.bindValue(0, static_cast<qlonglong>(id));
    query.bindValue(1, bytes(site.name));
    query.bindValue(2, bytes(site.host));
    query.bindValue(3, site.port);
    query.bindValue(4, bytes(site.user));
    query.bindValue(5, site.passive);
    query.bindValue(6, site.connections);
    query.bindValue(7, site.tlsMode);
    query.bindValue(8, bytes(site.trustedFingerprint));
}

} // namespace

QueueStore::QueueStore(const QString& path) : m_connection(uniqueConnectionName())
{
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_database.setDatabaseName(path);
    m_open = m_database.open() && createTables();
}

QueueStore::~QueueStore()
{
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

bool QueueStore::createTables()
{
    QSqlQuery query(m_database);
    // The log journal costs no flush per transaction; a crash still leaves a whole file.
    for (const char* statement :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
          "CREATE TABLE IF NOT EXISTS sites (id INTEGER PRIMARY KEY, name BLOB, host BLOB, "
          "port INTEGER, user BLOB, passive INTEGER, connections INTEGER, tls INTEGER, fingerprint BLOB)",
          "CREATE TABLE IF NOT EXISTS items (id INTEGER PRIMARY KEY, parent INTEGER, site INTEGER, "
          "direction INTEGER, kind INTEGER, local BLOB, remote BLOB, size INTEGER, modified INTEGER, "
          "state INTEGER, transferred INTEGER, reason BLOB, retries INTEGER, continue INTEGER)",
          "DELETE FROM sites WHERE id NOT IN (SELECT site FROM items)"}) {
        if (!query.exec(QString::fromLatin1(statement)))
            return false;
    }
    return true;
}

QueueStore::Contents QueueStore::load()
{
    Contents contents;
    if (!m_open)
        return contents;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT * FROM sites"))) {
        while (query.next())
            contents.sites[query.value(0).toLongLong()] = readSite(query);
    }
    if (query.exec(QStringLiteral("SELECT * FROM items ORDER BY id"))) {
        while (query.next())
            contents.items.push_back(readItem(query));
    }
    return contents;
}

bool QueueStore::write(const StoreBatch& batch)
{
    if (!m_open || !m_database.transaction())
        return false;
    QSqlQuery site(m_database);
    QSqlQuery item(m_database);
    QSqlQuery gone(m_database);
    bool ok = site.prepare(QStringLiteral("INSERT OR REPLACE INTO sites VALUES (?,?,?,?,?,?,?,?,?)"))
           && item.prepare(QStringLiteral("INSERT OR REPLACE INTO items VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"))
           && gone.prepare(QStringLiteral("DELETE FROM items WHERE id = ?"));
    for (auto it = batch.sites.begin(); ok && it != batch.sites.end(); ++it) {
        bindSite(site, it->first, it->second);
        ok = site.exec();
    }
    for (auto it = batch.items.begin(); ok && it != batch.items.end(); ++it) {
        bindItem(item, *it);
        ok = item.exec();
    }
    for (auto it = batch.removed.begin(); ok && it != batch.removed.end(); ++it) {
        gone.bindValue(0, static_cast<qlonglong>(*it));
        ok = gone.exec();
    }
    if (ok && m_database.commit())
        return true;
    m_database.rollback();
    return false;
}

QString defaultQueueStorePath()
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kalmor"),
                             QStringLiteral("Tarn"));
    return QFileInfo(settings.fileName()).absolutePath() + QStringLiteral("/TarnQueue.sqlite");
}
