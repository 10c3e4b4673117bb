// The local side of the queue's walks and checks: a file's facts, a folder's entries, and
// setting a file's modification time.
#pragma once

#include "queue/QueueTypes.h"

#include <string>
#include <vector>

// Size and time of a file, following a link; exists false when there is none.
FileFacts localFileFacts(const std::string& path);

// The entries of one folder level. A link to a file counts as that file; a link to a folder
// is not followed (no loops) and is passed over with its reason. Raises
// std::filesystem::filesystem_error when the folder cannot be read.
std::vector<FolderEntry> listLocalFolder(const std::string& path);

// Raises std::filesystem::filesystem_error when the time cannot be set.
void setLocalModified(const std::string& path, std::int64_t utcSeconds);
