// Rows of a file pane as the sort tests build them: a file with its size and time, a directory.
#pragma once

#include "model/PaneRow.h"
#include "model/PaneText.h"

#include <string>

inline PaneRow fileRow(const std::string& name, std::int64_t size, std::int64_t modified)
{
    PaneRow row;
    row.name = name;
    row.size = size;
    row.sizeText = sizeText(size, std::string(","));
    row.modified = modified;
    row.modifiedText = std::to_string(modified);
    row.typeText = kFileType;
    return row;
}

inline PaneRow directoryRow(const std::string& name, std::int64_t modified)
{
    PaneRow row = fileRow(name, 0, modified);
    row.size = -1;
    row.sizeText.clear();
    row.typeText = kDirectoryType;
    return row;
}
