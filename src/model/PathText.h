// Local paths as the panes build them: byte strings with '/' as the delimiter, where the root
// "/" plays the part of a drive root.
#pragma once

#include <optional>
#include <string>

inline constexpr char kPathDelimiter = '/';

// `directory` with a trailing '/' added when missing.
[[nodiscard]] std::string withDelimiter(std::string directory);
// `path` without its trailing '/'s, so that its last name names it; "/" stays the root.
[[nodiscard]] std::string withoutDelimiter(std::string path);
// A name inside `folder`: "/a" + "b" gives "/a/b", "/" + "b" gives "/b". Local and remote alike.
[[nodiscard]] std::string joinPath(std::string folder, const std::string& name);
// The parent of `directory` (with or without its trailing '/'), ending with '/':
// "/data/old/" -> "/data/", "/data" -> "/". None for "/" itself: there is no way further up.
[[nodiscard]] std::optional<std::string> parentDirectory(const std::string& directory);
// The name after the last '/', or the whole path when it has none.
[[nodiscard]] std::string lastPathComponent(const std::string& path);
