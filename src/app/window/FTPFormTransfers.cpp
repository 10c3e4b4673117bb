// Transfers of the main window: uploads and downloads of the selected files and the download
// under another name, carried out by the transfer frame.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/TransferFrame.h"
#include "ftp/IdFTP.h"
#include "model/PathText.h"
#include "model/RemoteRows.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/NameText.h"

#include <QAction>

void TFTPForm::connectTransfers()
{
    connect(acUpload, &QAction::triggered, this, reportingErrors([this] { acUploadExecute(); }));
    connect(acDownload, &QAction::triggered, this, reportingErrors([this] { acDownloadExecute(); }));
    connect(acDownloadSaveAs, &QAction::triggered, this, reportingErrors([this] { acDownloadSaveAsExecute(); }));
    connect(acAbortTransfer, &QAction::triggered, this,
            reportingErrors([this] { m_transfers->acAbortTransferExecute(); }));
    uploadFromLocalPane = [this](const std::string& path) {
        const bool uploaded = m_transfers->UploadFile(path);
        if (uploaded)
            ListRemoteDirectory();
        return uploaded;
    };
}

void TFTPForm::acUploadExecute()
{
    const std::vector<PaneRow> rows = LVL->selectedRows();
    if (!sessionConnected() || rows.empty())
        return;
    const std::string directory = withDelimiter(localDirectory());
    for (const PaneRow& row : rows) {
        if (!row.isDirectory() && !m_transfers->UploadFile(directory + row.name))
            return;
    }
    ListRemoteDirectory();
}

void TFTPForm::acDownloadExecute()
{
    const std::vector<PaneRow> rows = LVR->selectedRows();
    if (!sessionConnected() || rows.empty() || !m_transfers->mayDownloadAll(rows))
        return;
    const std::string directory = withDelimiter(localDirectory());
    for (const PaneRow& row : rows) {
        if (!m_transfers->DownloadFile(row.name, directory + row.name, 1))
            return;
    }
    ListLocalDirectory();
}

void TFTPForm::acDownloadSaveAsExecute()
{
    const int first = LVR->firstSelected();
    if (first < 0)
        return;
    const std::string name = LVR->row(first).name;
    QString chosen = nameText(withDelimiter(localDirectory()) + (isSafeLocalName(name) ? name : std::string()));
    if (!dialogs().saveFileName(QStringLiteral("Download and save as"), QString(), chosen))
        return;
    m_transfers->DownloadFile(name, nameBytes(chosen), 1);
}
