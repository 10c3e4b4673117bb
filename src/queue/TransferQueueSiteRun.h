// What the controller keeps per site while items of it are queued: its login, how many
// connections the server takes now, its job channel, its workers and its waiting items.
#pragma once

#include "queue/QueueWorker.h"
#include "queue/TransferQueue.h"
#include "queue/WorkerChannels.h"

#include <deque>
#include <memory>
#include <set>
#include <vector>

struct TransferQueue::SiteRun {
    SiteLogin login;
    // A site restored from the store gets its password at start().
    bool passwordKnown = true;
    // Workers the server takes now: the login's number, less after refusals.
    int limit = 2;
    // Made with the first job of a run; closed at its end, and its workers end with it.
    std::shared_ptr<JobChannel> channel;
    std::vector<std::unique_ptr<QueueWorker>> workers;
    // Items ready to go, in order; an entry no longer ready is passed over when taken.
    std::deque<std::int64_t> waiting;
    // Items whose job is in the channel or on a worker.
    std::set<std::int64_t> inFlight;
};
