// The unattended run: an upload list checked as a whole, then carried out line by line, one
// connection per run of lines for the same site, reported in green in the trace.
#include "app/window/UploadRun.h"

#include "app/window/TransferFrame.h"
#include "model/PaneSort.h"
#include "model/PathText.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"
#include "sites/SiteUnit.h"

#include <filesystem>

namespace {

// Ends the run the same way on every path, an error passing through included: the list is
// gone, so it never runs twice, and connecting lists and traces as usual again.
class UploadRunEnd {
public:
    explicit UploadRunEnd(UploadRun& run) : m_run(run) {}
    ~UploadRunEnd()
    {
        m_run.UploadList.reset();
        m_run.AutoUploadActive = false;
    }
    UploadRunEnd(const UploadRunEnd&) = delete;
    UploadRunEnd& operator=(const UploadRunEnd&) = delete;

private:
    UploadRun& m_run;
};

bool isLocalFolder(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// A line names a file, or a folder that goes up whole.
bool isLocalFileOrFolder(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored) || isLocalFolder(path);
}

} // namespace

UploadRun::UploadRun(Window& window, TransferFrame& transfers) : m_window(window), m_transfers(transfers)
{
}

bool UploadRun::ParseUploadLine(const std::string& line, std::string& fileName, int& siteIndex)
{
    std::vector<std::string> siteNames;
    for (const TSiteRecord& site : SiteList)
        siteNames.push_back(site.Name);
    const UploadLine parsed = splitUploadLine(line, siteNames, isLocalFileOrFolder);
    fileName = parsed.fileName;
    siteIndex = parsed.siteIndex;
    if (parsed.fault == UploadLineFault::None)
        return true;
    UploadLineError(line, QString::fromLatin1(uploadLineReason(parsed.fault)));
    return false;
}

void UploadRun::UploadLineError(const std::string& line, const QString& reason)
{
    dialogs().beep();
    dialogs().messageBox(QStringLiteral("Invalid input line: \"") + nameText(quotedListLine(line)) + QStringLiteral("\"\r")
                             + reason + QStringLiteral("\rCannot upload. Check contents of upload list in ")
                             + nameText(UploadListName),
                         MsgIcon::Error, {MsgButton::Abort});
}

UploadRunResult UploadRun::AutoUploadRun()
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
    SortColumn[0] = SortColumn[1] = kModifiedColumn;
    SortAscending[0] = SortAscending[1] = 0;
    m_window.traceRunLine(QStringLiteral("Auto-Upload starting."));
    AutoUploadActive = true;
    for (std::size_t n = 1; n <= lines.size(); ++n) {
        const UploadRunResult result = uploadListLine(lines[n - 1], static_cast<int>(n));
        if (result != UploadRunResult::Completed)
            return result;
    }
    m_window.ListRemoteDirectory();
    m_window.traceRunLine(QStringLiteral("FILE(S) UPLOADED SUCCESSFULLY"));
    return UploadRunResult::Completed;
}

// One line of the run, numbered `n` from 1; answers Completed when its file went up.
UploadRunResult UploadRun::uploadListLine(const std::string& line, int n)
{
    std::string fileName;
    int siteIndex = -1;
    // Checked before the run; a file gone since is reported again and fails in its upload.
    ParseUploadLine(line, fileName, siteIndex);
    // A site deleted while the run waited in the pump leaves nothing to upload to.
    if (!isSiteIndex(siteIndex))
        return UploadRunResult::BadList;
    if (siteIndex != CurrentSite)
        m_window.selectUploadSite(siteIndex);
    if (!m_window.sessionConnected())
        m_window.acConnectExecute();
    const QString siteName = nameText(SiteList[static_cast<std::size_t>(siteIndex)].Name);
    if (!m_window.sessionConnected()) {
        m_window.traceRunLine(QStringLiteral("Abandoned upload to site=") + siteName);
        return UploadRunResult::NotConnected;
    }
    m_window.traceRunLine(QStringLiteral("Upload %1.  Site=").arg(n) + siteName
                          + QStringLiteral("  File=") + nameText(fileName));
    if (!uploadFileOrFolder(fileName, SiteList[static_cast<std::size_t>(siteIndex)])) {
        dialogs().beep();
        dialogs().messageBox(QStringLiteral("Upload of ") + nameText(quotedListLine(line)) + QStringLiteral(" failed"),
                             MsgIcon::Error, {MsgButton::Abort});
        return UploadRunResult::UploadFailed;
    }
    return UploadRunResult::Completed;
}

bool UploadRun::uploadFileOrFolder(const std::string& path, const TSiteRecord& site)
{
    if (!isLocalFolder(path))
        return m_transfers.UploadFile(path);
    const FolderUploadOutcome outcome = m_transfers.UploadFolder(withoutDelimiter(path), site);
    if (!outcome.failure.empty())
        m_window.traceRunLine(QStringLiteral("Folder upload failed: ") + nameText(outcome.failure));
    else if (outcome.succeeded)
        m_window.traceRunLine(QStringLiteral("Folder uploaded: %1 file(s)").arg(outcome.files));
    return outcome.succeeded;
}
