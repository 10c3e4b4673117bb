// The local pane of the main window: listing LocDir into LVL and the local commands
// (change directory, up, browse, make directory, delete, rename, rename in place).
#include "app/window/FTPUnit.h"

#include "app/panes/GxCommon.h"
#include "app/panes/LocalFiles.h"
#include "app/panes/PaneQuestions.h"
#include "app/panes/PaneView.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/NameText.h"
#include "sites/SiteUnit.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>

namespace {

void deleteLocalRow(const std::string& directory, const PaneRow& row)
{
    const std::string path = directory + row.name;
    if (!row.isDirectory()) {
        if (!deleteLocalFile(path))
            showErrorBox(QStringLiteral("Unable to delete ") + nameText(path));
        return;
    }
    const std::string folder = withDelimiter(path);
    if (!removeLocalDirectory(folder))
        showErrorBox(QStringLiteral("Cannot remove ") + nameText(folder)
                  + QStringLiteral(" (Must be empty?)"));
}

} // namespace

void TFTPForm::connectLocalPane()
{
    if (m_localPaneConnected)
        return;
    m_localPaneConnected = true;
    connect(acLocalRefresh, &QAction::triggered, this, reportingErrors([this] { acLocalRefreshExecute(); }));
    connect(acLocalChgDir, &QAction::triggered, this, reportingErrors([this] { acLocalChgDirExecute(); }));
    connect(acLocalUp, &QAction::triggered, this, reportingErrors([this] { acLocalUpExecute(); }));
    connect(acLocalBrowse, &QAction::triggered, this, reportingErrors([this] { acLocalBrowseExecute(); }));
    connect(acLocalMakeDir, &QAction::triggered, this, reportingErrors([this] { acLocalMakeDirExecute(); }));
    connect(acLocalDelete, &QAction::triggered, this, reportingErrors([this] { acLocalDeleteExecute(); }));
    connect(acLocalRename, &QAction::triggered, this, reportingErrors([this] { acLocalRenameExecute(); }));
    connect(LVL, &PaneView::paneDoubleClicked, this, reportingErrors([this] { LVLDblClick(); }));
    connect(LVL, &PaneView::nameEdited, this,
            reportingErrors([this](int row, const QString& text) { LVLEdited(row, text); }));
}

std::string TFTPForm::localDirectory() const
{
    return boxPath(LocDir);
}

void TFTPForm::setLocalDirectory(const std::string& directory)
{
    setBoxPath(LocDir, directory);
}

void TFTPForm::ListLocalDirectory()
{
    LVL->clearRows();
    // Without a site there is no local folder of its own: the user's home stands in, so no
    // command acts on the file-system root.
    if (localDirectory().empty())
        setLocalDirectory(withDelimiter(nameBytes(QDir::homePath())));
    std::optional<std::vector<PaneRow>> rows = listLocalEntries(withDelimiter(localDirectory()));
    if (!rows) {
        showErrorBox(QStringLiteral("Local Directory invalid. Correct Site definition?"));
        return;
    }
    LVL->setRows(std::move(*rows));
    LVL->sortIfSorted();
    setStatusPanel(2, QStringLiteral("Local entries=") + QString::number(LVL->rowCount()));
}

void TFTPForm::acLocalRefreshExecute()
{
    ListLocalDirectory();
}

void TFTPForm::acLocalChgDirExecute()
{
    const int first = LVL->firstSelected();
    if (first < 0 || !LVL->row(first).isDirectory())
        return;
    setLocalDirectory(withDelimiter(withDelimiter(localDirectory()) + LVL->row(first).name));
    ListLocalDirectory();
}

void TFTPForm::LVLDblClick()
{
    const int first = LVL->firstSelected();
    if (first < 0)
        return;
    if (LVL->row(first).isDirectory()) {
        acLocalChgDirExecute();
        return;
    }
    // An upload needs an idle session: refused while disconnected or while a command runs.
    if (!OpsEnabled || m_operation.running() || !uploadFromLocalPane) {
        if (sessionConnected())
            dialogs().beep();
        return;
    }
    uploadFromLocalPane(withDelimiter(localDirectory()) + LVL->row(first).name);
}

void TFTPForm::acLocalUpExecute()
{
    const std::optional<std::string> parent = parentDirectory(localDirectory());
    if (!parent) {
        showErrorBox(QStringLiteral("Unable to go up further"));
        return;
    }
    setLocalDirectory(*parent);
    ListLocalDirectory();
}

void TFTPForm::acLocalBrowseExecute()
{
    if (refusedWhileSessionBusy())
        return;
    QString chosen;
    if (!SelectFolder(QStringLiteral("Select New Local Folder"), LocDir->text(), chosen))
        return;
    setLocalDirectory(withDelimiter(nameBytes(chosen)));
    ListLocalDirectory();
}

void TFTPForm::acLocalMakeDirExecute()
{
    if (refusedWhileSessionBusy())
        return;
    const QString answer = dialogs().inputBox(QStringLiteral("Specify name of new local directory"),
                                              QStringLiteral("Name"), QString());
    if (answer.isEmpty())
        return;
    const std::string path = withDelimiter(withDelimiter(localDirectory()) + nameBytes(answer));
    if (makeLocalDirectory(path))
        ListLocalDirectory();
    else
        showErrorBox(QStringLiteral("Unable to create ") + nameText(path));
}

void TFTPForm::acLocalDeleteExecute()
{
    if (refusedWhileSessionBusy())
        return;
    const std::vector<PaneRow> rows = LVL->selectedRows();
    const std::string directory = withDelimiter(localDirectory());
    if (rows.empty() || !confirmed(deleteQuestion(rows)))
        return;
    for (const PaneRow& row : rows)
        deleteLocalRow(directory, row);
    ListLocalDirectory();
}

void TFTPForm::acLocalRenameExecute()
{
    if (refusedWhileSessionBusy())
        return;
    const std::vector<int> selected = LVL->selectedRowIndexes();
    if (selected.size() != 1 || LVL->row(selected.front()).isDirectory())
        return;
    const std::string oldName = LVL->row(selected.front()).name;
    const std::string directory = withDelimiter(localDirectory());
    QString answer = nameText(oldName);
    if (!dialogs().inputQuery(QStringLiteral("Rename Local File"),
                              QStringLiteral("Enter new file name:"), answer))
        return;
    const std::string newName = editedNameBytes(oldName, answer);
    if (newName == oldName || renameLocalEntry(directory + oldName, directory + newName))
        ListLocalDirectory();
    else
        showRenameRefusal(answer);
}

void TFTPForm::LVLEdited(int row, const QString& text)
{
    if (row < 0 || row >= LVL->rowCount())
        return;
    const PaneRow edited = LVL->row(row);
    if (text == nameText(edited.name))
        return;
    if (refusedWhileSessionBusy())
        return;
    if (edited.isDirectory()) {
        dialogs().beep();
        return;
    }
    const std::string directory = withDelimiter(localDirectory());
    if (!extensionChangeAccepted(nameText(edited.name), text))
        return;
    const std::string newName = editedNameBytes(edited.name, text);
    if (!renameLocalEntry(directory + edited.name, directory + newName)) {
        showRenameRefusal(text);
        return;
    }
    // The question let events through: find the row again, in the same directory only.
    if (withDelimiter(localDirectory()) == directory)
        LVL->paneModel()->setName(LVL->findRow(edited.name), newName);
}
