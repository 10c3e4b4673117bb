// Row comparison and column clicks of the file panes.
#include "app/PaneSort.h"

namespace {

unsigned char foldAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

int compareNumbers(std::int64_t a, std::int64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareAscending(const PaneRow& row1, const PaneRow& row2, int column)
{
    if (column == kSizeColumn)
        return compareNumbers(row1.isDirectory() ? -1 : row1.size,
                              row2.isDirectory() ? -1 : row2.size);
    if (column == kModifiedColumn)
        return compareNumbers(row1.modified, row2.modified);
    return compareKeys(columnText(row1, column), columnText(row2, column));
}

} // namespace

int compareKeys(std::string_view key1, std::string_view key2)
{
    const std::size_t common = std::min(key1.size(), key2.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int a = foldAscii(static_cast<unsigned char>(key1[i]));
        const int b = foldAscii(static_cast<unsigned char>(key2[i]));
        if (a != b)
            return a - b;
    }
    return compareNumbers(static_cast<std::int64_t>(key1.size()),
                          static_cast<std::int64_t>(key2.size()));
}

int LVCompare(const PaneRow& row1, const PaneRow& row2, int sortColumn, bool sortAscending)
{
    return sortAscending ? compareAscending(row1, row2, sortColumn)
                         : compareAscending(row2, row1, sortColumn);
}

void LVColumnClick(int tag, int column)
{
    const int pane = tag - 1;
    if (pane < 0 || pane > 1)
        return;
    if (column == SortColumn[pane])
        SortAscending[pane] = SortAscending[pane] ? 0 : 1;
    else
        SortAscending[pane] = 1;
    SortColumn[pane] = static_cast<std::int8_t>(column);
}
