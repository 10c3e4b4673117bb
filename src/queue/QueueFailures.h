// How the queue judges a failure: retried (a lost connection, a 4xx reply, a time-out), final
// for the item (a 5xx reply, a local file error), or a full disk that stops the downloads.
#pragma once

#include "queue/QueueTypes.h"

#include <exception>
#include <string>
#include <string_view>

struct FailureInfo {
    FailureKind kind = FailureKind::Permanent;
    // One line: the server's reply with its code, or the system's text.
    std::string reason;
};

FailureInfo classifyFailure(std::exception_ptr failure);

// A login refused because the server has no room for one more connection: 421, or a 530
// whose text speaks of too many users or connections (a 530 for a wrong password does not).
bool refusedForTooMany(int code, std::string_view text);
