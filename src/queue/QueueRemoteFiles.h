// The remote side of the queue's walks and checks, on a worker's session: a folder's entries,
// a file's facts, and keeping a file's modification time.
#pragma once

#include "queue/QueueTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TIdFTP;

// The entries of one remote folder level, "." and ".." left out: MLSD where FEAT lists MLST
// (exact sizes and UTC times), otherwise CWD and LIST read by the session's listing parser.
std::vector<FolderEntry> listRemoteFolder(TIdFTP& ftp, const std::string& path);

// SIZE, and MDTM too when asked for; exists false when SIZE finds nothing.
FileFacts remoteFileFacts(TIdFTP& ftp, const std::string& path, bool withTime);
// MDTM where FEAT lists it; empty when the server tells no time.
std::optional<std::int64_t> remoteModified(TIdFTP& ftp, const std::string& path);

// The size of a file after an upload: SIZE, else its own listing line; -1 when neither tells.
std::int64_t remoteSize(TIdFTP& ftp, const std::string& path);

// MFMT when FEAT lists it; false when the time could not be kept.
bool setRemoteModified(TIdFTP& ftp, const std::string& path, std::int64_t utcSeconds);
