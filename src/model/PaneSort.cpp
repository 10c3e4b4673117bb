// Row comparison and column clicks of the file panes.
#include "model/PaneSort.h"

#include "ftp/IdGlobal.h"

#include <algorithm>
#include <utility>

namespace {

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

// Sort keys that order exactly as LVCompare does, computed once per row: sizes and times as
// numbers, texts with a-z folded so that a plain byte comparison (memcmp) decides.
template <typename Key>
std::vector<int> orderByKeys(std::vector<std::pair<Key, int>>& keyed, bool ascending)
{
    auto before = [](const auto& a, const auto& b) { return a.first < b.first; };
    auto after = [](const auto& a, const auto& b) { return b.first < a.first; };
    if (ascending)
        std::stable_sort(keyed.begin(), keyed.end(), before);
    else
        std::stable_sort(keyed.begin(), keyed.end(), after);
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const auto& entry : keyed)
        order.push_back(entry.second);
    return order;
}

} // namespace

int compareKeys(std::string_view key1, std::string_view key2)
{
    const std::size_t common = std::min(key1.size(), key2.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int a = static_cast<unsigned char>(UpperAscii(key1[i]));
        const int b = static_cast<unsigned char>(UpperAscii(key2[i]));
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
    if (tag != kLocalPaneTag && tag != kRemotePaneTag)
        return;
    const int pane = tag - kLocalPaneTag;
    if (column == SortColumn[pane])
        SortAscending[pane] = SortAscending[pane] ? 0 : 1;
    else
        SortAscending[pane] = 1;
    SortColumn[pane] = static_cast<std::int8_t>(column);
}

std::vector<int> sortedRowOrder(const std::vector<PaneRow>& rows, int column, bool ascending)
{
    const int count = static_cast<int>(rows.size());
    if (column == kSizeColumn || column == kModifiedColumn) {
        std::vector<std::pair<std::int64_t, int>> keyed;
        keyed.reserve(rows.size());
        for (int i = 0; i < count; ++i) {
            const PaneRow& row = rows[static_cast<std::size_t>(i)];
            const std::int64_t size = row.isDirectory() ? -1 : row.size;
            keyed.emplace_back(column == kSizeColumn ? size : row.modified, i);
        }
        return orderByKeys(keyed, ascending);
    }
    std::vector<std::pair<std::string, int>> keyed;
    keyed.reserve(rows.size());
    for (int i = 0; i < count; ++i)
        keyed.emplace_back(UpperCase(columnText(rows[static_cast<std::size_t>(i)], column)), i);
    return orderByKeys(keyed, ascending);
}

