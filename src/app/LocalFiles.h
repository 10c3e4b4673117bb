// The local file system as the local pane uses it: paths are bytes, handed to the system
// unchanged, so names that are not valid UTF-8 list, rename and delete like any other.
#pragma once

#include "app/PaneRow.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

inline constexpr char kPathDelimiter = '/';

// `directory` with a trailing '/' added when missing.
std::string withDelimiter(std::string directory);
// The parent of `directory` (with or without its trailing '/'), ending with '/':
// "/data/old/" -> "/data/", "/data" -> "/". None for "/" itself: there is no way further up.
std::optional<std::string> parentDirectory(const std::string& directory);
// The part of a name from its last dot, the dot included; empty when there is no dot.
QString extensionOf(const QString& name);

// One row per entry of `directory` except "." and "..", in the order the system gives them;
// none when the directory cannot be opened or read.
std::optional<std::vector<PaneRow>> listLocalEntries(const std::string& directory);

bool deleteLocalFile(const std::string& path);
// Removes an empty directory (a link to a directory is removed as a link).
bool removeLocalDirectory(const std::string& path);
// Creates one directory level.
bool makeLocalDirectory(const std::string& path);
// Renames `from` to `to`, refusing when an entry named `to` exists already.
bool renameLocalEntry(const std::string& from, const std::string& to);
