// The site box of the main window and the site commands: pick, create, edit, delete.
#include "app/FTPUnit.h"

#include "app/NameText.h"
#include "platform/Dialogs.h"
#include "sites/SiteForm.h"
#include "sites/SiteUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

bool validSiteIndex(int index)
{
    return index >= 0 && index < SiteCount;
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
    if (!validSiteIndex(CurrentSite))
        CurrentSite = 0;
    tbSite->setCurrentIndex(CurrentSite);
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(CurrentSite)];
    UsePassive->setChecked(site.Passive);
    setLocalDirectory(site.LDir);
    RemDir->setText(nameText(site.RDir));
}

void TFTPForm::tbSiteChange(int index)
{
    if (!validSiteIndex(index))
        return;
    CurrentSite = index;
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(index)];
    UsePassive->setChecked(site.Passive);
    RemDir->setText(nameText(site.RDir));
    setLocalDirectory(site.LDir);
    ListLocalDirectory();
}

void TFTPForm::acDeleteSiteExecute()
{
    if (!validSiteIndex(CurrentSite))
        return;
    const TSiteRecord& site = SiteList[static_cast<std::size_t>(CurrentSite)];
    const QString question = QStringLiteral("Delete Current site: ") + nameText(site.Name) +
                             QStringLiteral("?\nContinue?");
    // Closing the box answers Abort too: a site is only deleted on an explicit OK.
    if (dialogs().messageBox(question, MsgIcon::Warning, {MsgButton::Ok, MsgButton::Abort}) ==
        MsgButton::Abort)
        return;
    DeleteCurrentSite();
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
