// The Help menu, the About box and the help contexts of the main window's parts.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/AboutUnit.h"
#include "app/window/UseHTMLHelp.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>

namespace {

void setHelpContext(QWidget* widget, int context)
{
    widget->setProperty(kHelpContextProperty, context);
}

} // namespace

void TFTPForm::connectHelp()
{
    setHelpContext(this, 100);
    setHelpContext(ToolBar1, 120);
    setHelpContext(tbSite, 130);
    setHelpContext(Panel1, 140);
    setHelpContext(LVL, 150);
    setHelpContext(LVR, 150);
    setHelpContext(RTFLog, 160);
    setHelpContext(StatusBar1, 170);

    // HelpFile becomes a full path only later, in FormCreate: the hook reads it per request.
    UseHTMLHelp1 = new TUseHTMLHelp([this] { return HelpFile; }, this);
    connect(acHelpContents, &QAction::triggered, this, reportingErrors([this] { acHelpContentsExecute(); }));
    connect(acHelpIndex, &QAction::triggered, this, reportingErrors([this] { acHelpIndexExecute(); }));
    connect(acHelpTopicSearch, &QAction::triggered, this, reportingErrors([this] { acHelpTopicSearchExecute(); }));
    connect(acHelpOnHelp, &QAction::triggered, this, reportingErrors([this] { acHelpOnHelpExecute(); }));
    connect(mHelpAbout, &QAction::triggered, this, reportingErrors([this] { mHelpAboutClick(); }));
}

void TFTPForm::acHelpContentsExecute()
{
    UseHTMLHelp1->HtmlHelp(HtmlHelpCommand::DisplayToc, 0);
}

void TFTPForm::acHelpIndexExecute()
{
    UseHTMLHelp1->HtmlHelp(HtmlHelpCommand::DisplayIndex, 0);
}

void TFTPForm::acHelpTopicSearchExecute()
{
    UseHTMLHelp1->HtmlHelp(HtmlHelpCommand::DisplaySearch, 0);
}

void TFTPForm::acHelpOnHelpExecute()
{
    UseHTMLHelp1->HtmlHelp(HtmlHelpCommand::HelpContext, kHelpOnHelpContext);
}

void TFTPForm::mHelpAboutClick()
{
    // The box is modal; the help viewer, which is not, stays available during a transfer.
    if (refusedWhileSessionBusy())
        return;
    if (!AboutForm)
        AboutForm = new TAboutForm(this);
    AboutForm->exec();
}
