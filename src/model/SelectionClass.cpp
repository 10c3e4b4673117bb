// Folding a selection into one class, row by row in list order, and the commands each class
// switches on.
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

namespace {

struct SelectionRule {
    unsigned off;
    unsigned oneFile;
    unsigned files;
    unsigned oneDirectory;
    unsigned anySelection; // on for every selection that is not empty, folders included
};

constexpr unsigned kQueueCommands = pcLocalQueue | pcRemoteQueue;

// In the order of SelectionView. Directories (several, or mixed with files) switch nothing on
// but the queue's command.
constexpr SelectionRule kSelectionRules[] = {
    // LocalClick and LocalMenu
    {pcUpload | pcLocalChgDir | pcLocalDelete | pcRemoteDelete | pcDownload | pcDownloadSaveAs
         | pcLocalRename | kQueueCommands,
     pcUpload | pcLocalDelete | pcLocalRename, pcUpload | pcLocalDelete, pcLocalChgDir | pcLocalDelete,
     pcLocalQueue},
    {pcUpload | pcLocalChgDir | pcLocalDelete | pcRemoteDelete | pcDownload | pcDownloadSaveAs
         | pcLocalRename | kQueueCommands,
     pcUpload | pcLocalDelete | pcLocalRename, pcUpload | pcLocalDelete, pcLocalChgDir | pcLocalDelete,
     pcLocalQueue},
    // RemoteClick and RemoteMenu
    {pcRemoteDelete | pcLocalDelete | pcUpload | pcDownload | pcDownloadSaveAs | kQueueCommands,
     pcRemoteDelete | pcDownload | pcDownloadSaveAs, pcDownload | pcRemoteDelete,
     pcRemoteChgDir | pcRemoteDelete, pcRemoteQueue},
    {pcUpload | pcDownload | pcDownloadSaveAs | pcRemoteChgDir | pcRemoteDelete | pcLocalDelete
         | pcRemoteRename | kQueueCommands,
     pcDownload | pcDownloadSaveAs | pcRemoteDelete | pcRemoteRename, pcDownload | pcRemoteDelete,
     pcRemoteChgDir | pcRemoteDelete, pcRemoteQueue},
};

} // namespace

SelectionCommands commandsForSelection(SelectionView view, unsigned selectionClass)
{
    const SelectionRule& rule = kSelectionRules[static_cast<int>(view)];
    switch (selectionClass) {
    case scNone: return {rule.off, 0};
    case scOneFile: return {rule.off, rule.oneFile | rule.anySelection};
    case scFiles: return {rule.off, rule.files | rule.anySelection};
    case scOneDirectory: return {rule.off, rule.oneDirectory | rule.anySelection};
    default: return {rule.off, rule.anySelection};
    }
}

SelectionCaptions captionsForSelection(bool remotePane, unsigned selectionClass)
{
    switch (selectionClass) {
    case scOneFile:
        return {remotePane ? "Download file" : "Upload selected file", "Delete file"};
    case scFiles:
        return {remotePane ? "Download selected files" : "Upload selected files",
                "Delete selected files"};
    default: return {nullptr, "Delete directory"};
    }
}

unsigned selectionClassOf(const std::vector<bool>& selectedIsFile)
{
    unsigned result = scNone;
    for (const bool isFile : selectedIsFile)
        result = isFile ? afterFile(result) : afterDirectory(result);
    return result;
}
