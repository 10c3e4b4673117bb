// The local file system as the local pane uses it: paths are bytes, handed to the system
// unchanged, so names that are not valid UTF-8 list, rename and delete like any other.
#pragma once

#include "model/PaneRow.h"
#include "model/PathText.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

// The part of a name from its last dot, the dot included; empty when there is no dot.
[[nodiscard]] QString extensionOf(const QString& name);

// The locale's thousands separator as UTF-8, which both panes group sizes with.
[[nodiscard]] std::string sizeGroupSeparator();

// One row per entry of `directory` except "." and "..", in the order the system gives them;
// none when the directory cannot be opened or read.
[[nodiscard]] std::optional<std::vector<PaneRow>> listLocalEntries(const std::string& directory);

[[nodiscard]] bool deleteLocalFile(const std::string& path);
// Removes an empty directory (a link to a directory is removed as a link).
[[nodiscard]] bool removeLocalDirectory(const std::string& path);
// Creates one directory level.
[[nodiscard]] bool makeLocalDirectory(const std::string& path);
// Renames `from` to `to`, refusing when an entry named `to` exists already.
[[nodiscard]] bool renameLocalEntry(const std::string& from, const std::string& to);
