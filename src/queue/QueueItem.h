// One entry of the transfer queue as the controller keeps, stores and shows it, and the
// queue's totals.
#pragma once

#include "queue/QueueTypes.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct QueueItem {
    std::int64_t id = 0;
    // The folder item whose walk found it; 0 for an item added by hand.
    std::int64_t parent = 0;
    std::int64_t site = 0;
    QueueDirection direction = QueueDirection::Upload;
    QueueItemKind kind = QueueItemKind::File;
    std::string localPath;
    std::string remotePath;
    // The source as far as known (size -1: unknown).
    FileFacts source;
    QueueItemState state = QueueItemState::Waiting;
    // Bytes on the target.
    std::int64_t transferred = 0;
    double bytesPerSecond = 0;
    // Why it failed or was passed over.
    std::string reason;
    int retries = 0;
    // An upload that began writing its target continues it.
    bool continueTarget = false;

    // Kept in memory only.
    // The target as the parent's walk found it.
    std::optional<FileFacts> target;
    // The answer to the exists question for this item alone.
    std::optional<ExistsRule> rule;
    // Waiting for the exists question's answer.
    bool awaitingAnswer = false;
    // In a job channel or on a worker.
    bool dispatched = false;
    // Written to the store (or read from it): finishing it must remove it there.
    bool inStore = false;
    // Since when it runs, and the bytes the target had then: its speed is their average.
    std::chrono::steady_clock::time_point runningSince{};
    std::int64_t bytesAtStart = 0;
    // A retry waits until then.
    std::chrono::steady_clock::time_point notBefore{};
};

struct QueueTotals {
    int filesLeft = 0;          // files waiting or running
    std::int64_t bytesLeft = 0; // of those whose size is known
    int done = 0;
    int failed = 0;
    int skipped = 0;
    double bytesPerSecond = 0;  // over the last moments of the run
};
