// Classes of a pane's selection, which decide the commands offered for it.
#pragma once

#include <vector>

enum SelectionClass : unsigned {
    scNone = 0,
    scOneFile = 1,
    scFiles = 2,
    scOneDirectory = 11,
    scDirectories = 12,
    scMixed = 20,
};

// `selectedIsFile` holds, for each selected row in list order, whether it is not a directory
// (a file, or a link, which is downloaded, deleted and renamed as a file).
unsigned classifySelection(const std::vector<bool>& selectedIsFile);
