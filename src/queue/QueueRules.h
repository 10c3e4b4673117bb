// The queue's pure rules: what to do with an existing target, which names a server may not
// give a local file, how a path is renamed, and how long a retry waits.
#pragma once

#include "queue/QueueTypes.h"

#include <chrono>
#include <string>
#include <string_view>

enum class ExistsAction { Overwrite, Resume, Skip, Rename, Ask };

// The action for an existing target. Where the rule needs a fact that is unknown (a time, a
// size), the target is kept: nothing is lost by a skip.
ExistsAction decideExists(ExistsRule rule, const FileFacts& source, const FileFacts& target);

// Why a name given by a server cannot name a local file: "." and "..", a "/" inside, a control
// character, or nothing at all would leave the target folder or mislead. Empty when it can.
std::string unsafeNameReason(std::string_view name);

// The n-th other name for a path whose target exists: "dir/report (2).txt".
std::string renamedPath(std::string_view path, int n);

// A download is written beside its target under this suffix and renamed once complete, so
// no partial file ever carries the target's name.
inline constexpr std::string_view kPartialSuffix = ".tarn-part";

// The pause before the given retry (1, 2, 3): the base, then twice and four times as long.
std::chrono::milliseconds retryPause(int retry, std::chrono::milliseconds base);
// Retries of a transient failure before the item fails.
inline constexpr int kMaxRetries = 3;
