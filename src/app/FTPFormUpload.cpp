// The unattended run: an upload list checked as a whole, then carried out line by line, one
// connection per run of lines for the same site, reported in green in the trace.
#include "app/FTPUnit.h"

#include "app/NameText.h"
#include "app/PaneSort.h"
#include "app/UploadList.h"
#include "platform/Dialogs.h"
#include "sites/SiteUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <filesystem>

namespace {

const QColor kTraceGreen(0, 128, 0);

// Ends the run the same way on every path, an error passing through included: the list is
// gone, so it never runs twice, and connecting lists and traces as usual again.
class UploadRunEnd {
public:
    explicit UploadRunEnd(TFTPForm& form) : m_form(form) {}
    ~UploadRunEnd()
    {
        m_form.UploadList.reset();
        m_form.AutoUploadActive = false;
    }
    UploadRunEnd(const UploadRunEnd&) = delete;
    UploadRunEnd& operator=(const UploadRunEnd&) = delete;

private:
    TFTPForm& m_form;
};

bool isLocalFile(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

} // namespace

bool TFTPForm::ParseUploadLine(const std::string& line, std::string& fileName, int& siteIndex)
{
    std::vector<std::string> siteNames;
    for (const TSiteRecord& site : SiteList)
        siteNames.push_back(site.Name);
    const UploadLine parsed = splitUploadLine(line, siteNames, isLocalFile);
    fileName = parsed.fileName;
    siteIndex = parsed.siteIndex;
    if (parsed.fault == UploadLineFault::None)
        return true;
    UploadLineError(line, QString::fromLatin1(uploadLineReason(parsed.fault)));
    return false;
}

void TFTPForm::UploadLineError(const std::string& line, const QString& reason)
{
    dialogs().beep();
    dialogs().messageBox(QStringLiteral("Invalid input line: \"") + nameText(quotedListLine(line)) + QStringLiteral("\"\r")
                             + reason + QStringLiteral("\rCannot upload. Check contents of upload list in ")
                             + nameText(UploadListName),
                         MsgIcon::Error, {MsgButton::Abort});
}

TFTPForm::UploadRunResult TFTPForm::AutoUploadRun()
{
    UploadRunEnd end(*this);
    if (SiteCount == 0 || !UploadList)
        return UploadRunResult::Completed;
    const std::vector<std::string> lines = *UploadList;
    // A NUL byte means the file is no text: nothing of it is trusted, not even its first lines.
    if (const long nul = firstLineWithNul(lines); nul >= 0) {
        UploadLineError(lines[static_cast<std::size_t>(nul)],
                        QStringLiteral("Line %1 holds a NUL byte: the list is not a text file").arg(nul + 1));
        return UploadRunResult::BadList;
    }
    std::string fileName;
    int siteIndex = -1;
    for (const std::string& line : lines) {
        if (!ParseUploadLine(line, fileName, siteIndex))
            return UploadRunResult::BadList;
    }
    // Nothing to upload: no connection, no listing and no success line.
    if (lines.empty())
        return UploadRunResult::Completed;
    SortColumn[0] = SortColumn[1] = 2;
    SortAscending[0] = SortAscending[1] = 0;
    AddTraceLine(8, true, kTraceGreen, QStringLiteral("Auto-Upload starting."));
    AutoUploadActive = true;
    for (std::size_t n = 1; n <= lines.size(); ++n) {
        const UploadRunResult result = uploadListLine(lines[n - 1], static_cast<int>(n));
        if (result != UploadRunResult::Completed)
            return result;
    }
    ListRemoteDirectory();
    AddTraceLine(8, true, kTraceGreen, QStringLiteral("FILE(S) UPLOADED SUCCESSFULLY"));
    return UploadRunResult::Completed;
}

// One line of the run, numbered `n` from 1; answers Completed when its file went up.
TFTPForm::UploadRunResult TFTPForm::uploadListLine(const std::string& line, int n)
{
    std::string fileName;
    int siteIndex = -1;
    // Checked before the run; a file gone since is reported again and fails in its upload.
    ParseUploadLine(line, fileName, siteIndex);
    // A site deleted while the run waited in the pump leaves nothing to upload to.
    if (siteIndex < 0 || siteIndex >= SiteCount)
        return UploadRunResult::BadList;
    if (siteIndex != CurrentSite)
        selectUploadSite(siteIndex);
    if (!sessionConnected())
        acConnectExecute();
    const QString siteName = nameText(SiteList[static_cast<std::size_t>(siteIndex)].Name);
    if (!sessionConnected()) {
        AddTraceLine(8, true, kTraceGreen, QStringLiteral("Abandoned upload to site=") + siteName);
        return UploadRunResult::NotConnected;
    }
    AddTraceLine(8, true, kTraceGreen, QStringLiteral("Upload %1.  Site=").arg(n) + siteName
                                           + QStringLiteral("  File=") + nameText(fileName));
    if (!UploadFile(fileName)) {
        dialogs().beep();
        dialogs().messageBox(QStringLiteral("Upload of ") + nameText(quotedListLine(line)) + QStringLiteral(" failed"),
                             MsgIcon::Error, {MsgButton::Abort});
        return UploadRunResult::UploadFailed;
    }
    return UploadRunResult::Completed;
}

// The session leaves the previous site; the site box shows the new one without running its
// change handler, and the directories and passive flag follow the site.
void TFTPForm::selectUploadSite(int siteIndex)
{
    CurrentSite = siteIndex;
    if (sessionConnected())
        acConnectExecute();
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(siteIndex)];
    {
        const QSignalBlocker quiet(tbSite);
        tbSite->setCurrentIndex(siteIndex);
    }
    RemDir->setText(nameText(site.RDir));
    setLocalDirectory(site.LDir);
    UsePassive->setChecked(site.Passive);
    UsePassiveClick();
    ListLocalDirectory();
}
