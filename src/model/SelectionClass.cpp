// Folding a selection into one class, row by row in list order.
#include "model/SelectionClass.h"

namespace {

unsigned afterFile(unsigned current)
{
    switch (current) {
    case scNone: return scOneFile;
    case scOneFile: return scFiles;
    case scOneDirectory:
    case scDirectories: return scMixed;
    default: return current;
    }
}

unsigned afterDirectory(unsigned current)
{
    switch (current) {
    case scNone: return scOneDirectory;
    case scOneFile:
    case scFiles: return scMixed;
    case scOneDirectory: return scDirectories;
    default: return current;
    }
}

} // namespace

unsigned classifySelection(const std::vector<bool>& selectedIsFile)
{
    unsigned result = scNone;
    for (const bool isFile : selectedIsFile)
        result = isFile ? afterFile(result) : afterDirectory(result);
    return result;
}
