// The store's thread.
#include "queue/QueueStoreThread.h"

#include <QString>

#include <pthread.h>

QueueStoreThread::QueueStoreThread(std::string path) : m_path(std::move(path))
{
    m_thread = std::thread([this] { run(); });
}

QueueStoreThread::~QueueStoreThread()
{
    {
        std::lock_guard guard(m_mutex);
        m_ending = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QueueStore::Contents QueueStoreThread::takeContents()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_loaded; });
    return std::move(m_contents);
}

void QueueStoreThread::write(StoreBatch batch)
{
    {
        std::lock_guard guard(m_mutex);
        m_batches.push_back(std::move(batch));
    }
    m_wake.notify_all();
}

void QueueStoreThread::run()
{
    pthread_setname_np(pthread_self(), "tarn-store");
    QueueStore store(QString::fromStdString(m_path));
    QueueStore::Contents contents = store.load();
    std::unique_lock lock(m_mutex);
    m_contents = std::move(contents);
    m_loaded = true;
    m_wake.notify_all();
    for (;;) {
        m_wake.wait(lock, [this] { return m_ending || !m_batches.empty(); });
        if (m_batches.empty())
            return;
        StoreBatch batch = std::move(m_batches.front());
        m_batches.pop_front();
        lock.unlock();
        // A batch that cannot be written is lost; the next ones still go in.
        store.write(batch);
        lock.lock();
    }
}
