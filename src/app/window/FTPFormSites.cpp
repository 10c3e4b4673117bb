// The site box of the main window and the site commands: pick, create, edit, delete, export
// and import of site files, and the site an upload run moves to.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"
#include "sites/SiteFiles.h"
#include "sites/SiteForm.h"
#include "sites/SitePasswords.h"
#include "sites/SiteUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>
#include <QSignalBlocker>

#include <optional>

// The keyring is awaited with events handled: meanwhile the site commands and Connect are off,
// so no second one starts on the list in use. Only the disconnected window runs site commands.
class SiteCommandsPaused {
public:
    explicit SiteCommandsPaused(TFTPForm& form) : m_form(form)
    {
        m_form.SetFileEnabled(false);
        m_form.acConnect->setEnabled(false);
    }
    ~SiteCommandsPaused()
    {
        m_form.SetFileEnabled(true);
        m_form.acConnect->setEnabled(true);
    }
    SiteCommandsPaused(const SiteCommandsPaused&) = delete;
    SiteCommandsPaused& operator=(const SiteCommandsPaused&) = delete;

private:
    TFTPForm& m_form;
};

namespace {

const QString kSiteFileFilter = QStringLiteral("Site files (*.fst)");
const QString kSiteFileSuffix = QStringLiteral("fst");

void showSiteFileError(const QString& text, MsgButton button)
{
    dialogs().messageBox(text, MsgIcon::Error, {button});
}

void tellSaved(const QString& text)
{
    dialogs().beep();
    dialogs().messageBox(text, MsgIcon::Information, {MsgButton::Ok});
}

// Written whole or not at all: a failed write leaves an earlier file of that name untouched.
bool writeSiteFile(const QString& fileName, const std::vector<TSiteRecord>& sites)
{
    QSaveFile file(fileName);
    const std::string text = siteFileText(sites);
    if (file.open(QIODevice::WriteOnly)
        && file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size())
        && file.commit())
        return true;
    showSiteFileError(QStringLiteral("Site file ") + fileName + QStringLiteral(" could not be written: ") +
                          file.errorString(),
                      MsgButton::Abort);
    return false;
}

// A site file carries every password scrambled, wherever the site keeps it.
void exportSites(TFTPForm& form, const QString& title, const QString& proposedName,
                 std::vector<TSiteRecord> sites, const QString& savedText)
{
    QString fileName = proposedName;
    if (!dialogs().saveFileWithSuffix(title, kSiteFileFilter, kSiteFileSuffix, fileName))
        return;
    QString failure;
    bool scrambled = false;
    {
        const SiteCommandsPaused paused(form);
        scrambled = scrambleKeyringPasswords(sites, failure);
    }
    if (!scrambled) {
        showSiteFileError(failure + QStringLiteral("\rNothing was exported."), MsgButton::Abort);
        return;
    }
    if (writeSiteFile(fileName, sites))
        tellSaved(savedText + fileName);
}

// A site file knows nothing of where a password is kept: a block that replaces a stored site
// keeps that site's choice for unattended runs.
void keepStoredChoices(std::vector<TSiteRecord>& imported)
{
    for (TSiteRecord& site : imported) {
        for (const TSiteRecord& stored : SiteList) {
            if (stored.Name == site.Name)
                site.KeepPass = stored.KeepPass;
        }
    }
}

// The file's sites, or nothing after telling the user why none can be imported.
std::optional<std::vector<TSiteRecord>> sitesOfFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists()) {
        showSiteFileError(QStringLiteral("File ") + fileName + QStringLiteral(" does not exist"),
                          MsgButton::Cancel);
        return std::nullopt;
    }
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showSiteFileError(QStringLiteral("File ") + fileName + QStringLiteral(" could not be read: ") +
                              file.errorString(),
                          MsgButton::Abort);
        return std::nullopt;
    }
    SiteFileContents contents = readSiteFile(std::string_view(bytes.constData(), bytes.size()));
    switch (contents.fault) {
    case SiteFileFault::LineCount:
        showSiteFileError(QStringLiteral("Invalid site file ") + fileName +
                              QStringLiteral("  Incorrect number of lines."),
                          MsgButton::Abort);
        return std::nullopt;
    case SiteFileFault::BadBlock:
        showSiteFileError(QStringLiteral("Invalid parameter list in ") + fileName, MsgButton::Abort);
        return std::nullopt;
    case SiteFileFault::None:
        break;
    }
    return std::move(contents.sites);
}

} // namespace

void TFTPForm::FillSiteBox()
{
    tbSite->clear();
    setLocalDirectory({});
    RemDir->clear();
    if (SiteCount == 0)
        return;
    for (const TSiteRecord& site : SiteList)
        tbSite->addItem(nameText(site.Name));
    if (!isSiteIndex(CurrentSite))
        CurrentSite = 0;
    tbSite->setCurrentIndex(CurrentSite);
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(CurrentSite)];
    UsePassive->setChecked(site.Passive);
    setLocalDirectory(site.LDir);
    RemDir->setText(nameText(site.RDir));
}

void TFTPForm::tbSiteChange(int index)
{
    if (!isSiteIndex(index))
        return;
    CurrentSite = index;
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(index)];
    UsePassive->setChecked(site.Passive);
    RemDir->setText(nameText(site.RDir));
    setLocalDirectory(site.LDir);
    ListLocalDirectory();
}

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

void TFTPForm::acDeleteSiteExecute()
{
    if (!isSiteIndex(CurrentSite))
        return;
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(CurrentSite)];
    const QString question = QStringLiteral("Delete Current site: ") + nameText(site.Name) +
                             QStringLiteral("?\nContinue?");
    // Closing the box answers Abort too: a site is only deleted on an explicit OK.
    if (dialogs().messageBox(question, MsgIcon::Warning, {MsgButton::Ok, MsgButton::Abort}) ==
        MsgButton::Abort)
        return;
    {
        const SiteCommandsPaused paused(*this);
        DeleteCurrentSite();
    }
    FillSiteBox();
    ListLocalDirectory();
}

TSiteForm* TFTPForm::siteEditor()
{
    if (!m_siteEditor)
        m_siteEditor = new TSiteForm(this);
    return m_siteEditor;
}

void TFTPForm::editSite(char editMode)
{
    const bool saved = runSiteEditor ? runSiteEditor(editMode) : siteEditor()->ShowModal(editMode);
    if (!saved)
        return;
    FillSiteBox();
    ListLocalDirectory();
}

void TFTPForm::acCreateSiteExecute()
{
    editSite('N');
}

void TFTPForm::acEditSiteExecute()
{
    editSite('E');
}

void TFTPForm::acExportAllSitesExecute()
{
    exportSites(*this, QStringLiteral("Save all sites.  Specify file name."),
                QDate::currentDate().toString(QStringLiteral("yyMMdd")) + QStringLiteral(" Tarn-All_sites"),
                SiteList, QStringLiteral("Site list saved as "));
}

void TFTPForm::acExportSiteExecute()
{
    if (!isSiteIndex(CurrentSite))
        return;
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(CurrentSite)];
    exportSites(*this, QStringLiteral("Save current site. Specify file name."), nameText(site.Name), {site},
                QStringLiteral("Site saved as "));
}

void TFTPForm::acImportSiteExecute()
{
    QString fileName = QStringLiteral(" Tarn-All_sites");
    if (!dialogs().openFileWithSuffix(QStringLiteral("Select Site file to import"), kSiteFileFilter,
                                      kSiteFileSuffix, fileName))
        return;
    std::optional<std::vector<TSiteRecord>> imported = sitesOfFile(fileName);
    if (!imported)
        return;
    const int count = static_cast<int>(imported->size());
    keepStoredChoices(*imported);
    // Appended after the stored sites, so a block named like a stored site replaces its values.
    SiteList.insert(SiteList.end(), imported->begin(), imported->end());
    SiteCount = static_cast<std::int32_t>(SiteList.size());
    {
        const SiteCommandsPaused paused(*this);
        SaveSiteList();
    }
    CurrentSite = 0;
    LVL->clearRows();
    FillSiteBox();
    if (SiteCount > 0)
        ListLocalDirectory();
    tellSaved(QStringLiteral("%1 new site(s) found and saved in Site List.").arg(count) +
              QLatin1Char('\r') + QStringLiteral("Current site set to first in list"));
}
