// One row of a file pane: the entry name as bytes, the column texts, and the real size and
// time that the Size and Modified columns sort by.
#pragma once

#include <cstdint>
#include <string>

// Texts of the Type column; a row is a directory exactly when its type is kDirectoryType. A
// remote link may lead to a directory or to a file: only the server can tell which.
inline constexpr const char* kDirectoryType = "Directory";
inline constexpr const char* kFileType = "File";
inline constexpr const char* kLinkType = "Link";

struct PaneRow {
    std::string name;          // caption: bytes as the file system or the server gave them
    std::string sizeText;      // sizeText() for a file; "" (local) or " " (remote) for a directory
    std::string modifiedText;  // dateText()
    std::string typeText;      // kDirectoryType, kFileType or (remote pane) kLinkType
    std::string permissions;   // remote pane only: owner, group and other rights joined
    std::int64_t size = -1;    // bytes; -1 for a directory or a link, so they sort before files
    std::int64_t modified = 0; // dateKey() of the same time as modifiedText

    bool isDirectory() const { return typeText == kDirectoryType; }
    bool isLink() const { return typeText == kLinkType; }
};

// Column indexes of both panes.
enum PaneColumn : int { kNameColumn = 0, kSizeColumn = 1, kModifiedColumn = 2, kTypeColumn = 3,
                        kPermissionsColumn = 4 };
// The local pane shows Name to Type; the remote pane Permissions too.
inline constexpr int kLocalPaneColumns = kTypeColumn + 1;
inline constexpr int kRemotePaneColumns = kPermissionsColumn + 1;

// The text a row shows in `column`: the name, then the sub-item texts in column order.
inline const std::string& columnText(const PaneRow& row, int column)
{
    switch (column) {
    case kNameColumn: return row.name;
    case kSizeColumn: return row.sizeText;
    case kModifiedColumn: return row.modifiedText;
    case kTypeColumn: return row.typeText;
    default: return row.permissions;
    }
}
