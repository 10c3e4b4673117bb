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
[[nodiscard]] unsigned selectionClassOf(const std::vector<bool>& selectedIsFile);

// The commands a pane's selection switches on and off, as bits.
enum PaneCommand : unsigned {
    pcUpload = 1U << 0,
    pcDownload = 1U << 1,
    pcDownloadSaveAs = 1U << 2,
    pcLocalChgDir = 1U << 3,
    pcLocalDelete = 1U << 4,
    pcLocalRename = 1U << 5,
    pcRemoteChgDir = 1U << 6,
    pcRemoteDelete = 1U << 7,
    pcRemoteRename = 1U << 8,
    // Add to queue, from the local pane (upload) and from the remote pane (download).
    pcLocalQueue = 1U << 9,
    pcRemoteQueue = 1U << 10,
};
// The commands that need an idle session: they come on only while the Ops commands are on.
inline constexpr unsigned kSessionCommands = pcUpload | pcDownload | pcDownloadSaveAs | pcRemoteChgDir
    | pcRemoteDelete | pcRemoteRename | pcLocalQueue | pcRemoteQueue;

// Where a selection is looked at: a click in a pane (or a key that moved its selection), or the
// pane's menu about to open. A click in the remote pane leaves Rename as it was.
enum class SelectionView { LocalClick, LocalMenu, RemoteClick, RemoteMenu };

struct SelectionCommands {
    unsigned off = 0;   // switched off first
    unsigned on = 0;    // then switched on for the selection's class
};
[[nodiscard]] SelectionCommands commandsForSelection(SelectionView view, unsigned selectionClass);

// The captions a pane's menu gives its transfer and delete commands for a selection's class;
// no transfer caption leaves the command's caption as it is.
struct SelectionCaptions {
    const char* transfer = nullptr;
    const char* remove = nullptr;
};
[[nodiscard]] SelectionCaptions captionsForSelection(bool remotePane, unsigned selectionClass);
