// The stored queue on a thread of its own: the controller hands it batches and never waits for
// the disk; the thread writes them in order, each in one transaction. Only this thread touches
// the database.
#pragma once

#include "queue/QueueStore.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class QueueStoreThread {
public:
    // Opens and reads the store on the thread.
    explicit QueueStoreThread(std::string path);
    // Writes every batch handed over, then ends the thread.
    ~QueueStoreThread();
    QueueStoreThread(const QueueStoreThread&) = delete;
    QueueStoreThread& operator=(const QueueStoreThread&) = delete;

    // What the store held when it was opened; waits for the thread to have read it.
    QueueStore::Contents takeContents();
    void write(StoreBatch batch);

private:
    void run();

    const std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<StoreBatch> m_batches;
    bool m_ending = false;
    bool m_loaded = false;
    QueueStore::Contents m_contents;
    std::thread m_thread;
};
