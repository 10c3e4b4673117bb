// The remote pane's rows from the parsed listing, and which server names may become local
// file names.
#pragma once

#include "model/PaneRow.h"
#include "ftp/IdFTPList.h"

#include <string_view>
#include <vector>

// Name, Size (the full 64-bit size; a single blank for a directory or a link), Modified, Type
// ("Directory", "File" or "Link") and Permissions (owner, group and other rights joined).
// Sizes are grouped with `groupSeparator` (see sizeText).
[[nodiscard]] PaneRow remoteRowOf(const TIdFTPListItem& item, const std::string& groupSeparator);
[[nodiscard]] std::vector<PaneRow> remoteRowsOf(const TIdFTPListItems& items, const std::string& groupSeparator);

// A name the server sent is only ever written below the local directory: a name that is
// empty, "." or "..", or holds "/" or a control character is refused.
[[nodiscard]] bool isSafeLocalName(std::string_view name);
