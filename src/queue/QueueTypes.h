// The values that travel between the queue's controller and its workers: the site's login,
// one job, and what the worker found and did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Everything a worker needs to log in to a site. A copy travels with every job, so a worker
// never reads the site list. The password is kept in memory only, never with the stored queue.
struct SiteLogin {
    std::string name; // the stored site's name: shown, and the key for its password later
    std::string host;
    int port = 21;
    std::string user;
    std::string password;
    bool passive = true;
    int connections = 2; // how many workers the site gets, 1 to 10
    // FTP over TLS as the site asks it (the session's TLS mode, 0: plain FTP), and the
    // certificate fingerprint the user trusted for this host and port. A worker never asks:
    // a certificate that fails verification is accepted only when its fingerprint is this one.
    int tlsMode = 0;
    std::string trustedFingerprint;

    static constexpr int kMaxConnections = 10;
};

// One site: the same name, address and user.
bool sameSite(const SiteLogin& a, const SiteLogin& b);

enum class QueueDirection { Upload = 0, Download = 1 };
enum class QueueItemKind { File = 0, Folder = 1 };
enum class QueueItemState { Waiting = 0, Running = 1, Done = 2, Failed = 3, Skipped = 4 };

// What happens when the target of a file exists already. Ask leaves it to the window's
// question, asked once per run.
enum class ExistsRule {
    Ask = 0,
    Overwrite = 1,
    OverwriteIfNewer = 2,
    OverwriteIfSizeDiffers = 3,
    Resume = 4,
    Skip = 5,
    Rename = 6
};

// A file as the walk or a look at it found it.
struct FileFacts {
    bool exists = false;
    std::int64_t size = -1;                // -1: unknown
    std::optional<std::int64_t> modified;  // seconds since 1970, UTC
};

// One entry of a folder that a walk found.
struct FolderEntry {
    std::string name;
    QueueItemKind kind = QueueItemKind::File;
    FileFacts facts;
    // Not moved, for this reason (a name unsafe on this computer, a link to a folder).
    std::string problem;
    // The problem fails the entry rather than passing over it.
    bool problemFails = false;
};

struct TransferJob {
    std::int64_t item = 0;
    SiteLogin site;
    QueueDirection direction = QueueDirection::Upload;
    QueueItemKind kind = QueueItemKind::File;
    std::string localPath;
    std::string remotePath;
    // The source as the walk found it; a worker looks for itself where this is unknown.
    FileFacts source;
    // The target as the parent folder's walk found it; empty: the worker looks.
    std::optional<FileFacts> target;
    ExistsRule rule = ExistsRule::Overwrite;
    // An earlier attempt of this item began writing the target: an upload continues it.
    bool continueTarget = false;
    // The run the job belongs to; a stop begins a new one (set by the job channel).
    unsigned generation = 0;
};

enum class JobStatus {
    Done,
    Skipped,
    Failed,
    Stopped,     // stopped from the window: the item waits again, its partial file kept
    NeedsAnswer, // the target exists and the rule is Ask
    Refused      // the server refused one more connection: the job goes back unattempted
};

enum class FailureKind {
    None,
    Transient, // a lost connection, 4xx, a time-out: retried
    Permanent, // 5xx, a local permission: the item fails
    DiskFull   // the local disk is full: the item fails and downloads stop
};

struct JobOutcome {
    JobStatus status = JobStatus::Done;
    FailureKind failure = FailureKind::None;
    std::string reason;
    // Bytes on the target when done.
    std::int64_t bytes = 0;
    // A transfer into the target began (an upload's next attempt continues it).
    bool targetTouched = false;
    // Where the file went, when a rename gave it another name; empty otherwise.
    std::string renamedTo;
    // The existing target, for the question.
    FileFacts target;
    // A folder's entries, and the targets its walk found (for the children's rule).
    std::vector<FolderEntry> entries;
    std::vector<FolderEntry> existingTargets;
};
