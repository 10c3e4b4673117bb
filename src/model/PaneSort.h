// Sorting of the file panes: the sort state of each pane, the column click, and the row
// comparison.
#pragma once

#include "model/PaneRow.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Pane tags: they index the sort state below (tag - 1).
inline constexpr int kLocalPaneTag = 1;
inline constexpr int kRemotePaneTag = 2;

// Sort state per pane, local then remote. SortColumn < 0 leaves rows in the order they were
// added; SortAscending is 1 for ascending, 0 for descending. Saved with the window settings.
inline std::int8_t SortColumn[2] = {2, 2};
inline std::uint8_t SortAscending[2] = {0, 0};

// Byte-wise comparison with only a-z folded to A-Z: the first differing byte decides, a
// prefix sorts first. So "_x" sorts after "Zeta", and "Zeta" after "alpha".
[[nodiscard]] int compareKeys(std::string_view key1, std::string_view key2);

// Compares two rows by a column (<0, 0, >0); descending swaps the operands. Size and
// Modified compare the real size and time (directories first by size), so sizes past
// 999,999k still sort in order; the other columns compare their texts with compareKeys.
[[nodiscard]] int LVCompare(const PaneRow& row1, const PaneRow& row2, int sortColumn, bool sortAscending);

// The order of `rows` sorted by a column as LVCompare orders them, as indexes into `rows`;
// rows with equal keys keep their order. Each row's key is computed once, so 100,000 rows
// sort at once.
[[nodiscard]] std::vector<int> sortedRowOrder(const std::vector<PaneRow>& rows, int column, bool ascending);

// A click on column `column` of the pane with `tag`: the same column flips the direction,
// another column sorts ascending by it.
void LVColumnClick(int tag, int column);
