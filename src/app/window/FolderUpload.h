// A whole local folder uploaded by the transfer queue's engine on connections of its own, for
// a line of an upload list that names a folder. The caller waits with the window's events
// handled, as it does for the transfers of its own session.
#pragma once

#include "queue/QueueTypes.h"

#include <functional>
#include <string>

struct FolderUploadOutcome {
    bool succeeded = false;
    int files = 0;           // files that went up
    std::string failure;     // the first failed item's remote path and reason
};

// Uploads `localFolder` as `remoteFolder`, overwriting what exists there, and waits for the end
// or for `stopRequested` (asked as it waits) to answer true.
[[nodiscard]] FolderUploadOutcome uploadFolder(const SiteLogin& login, const std::string& localFolder,
                                               const std::string& remoteFolder,
                                               const std::function<bool()>& stopRequested);
