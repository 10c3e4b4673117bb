// Connecting and disconnecting the session, the connect command's look in each state, the
// session's status events, and ReportFailure with the failure log.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/ActionImages.h"
#include "app/window/CertificateTrust.h"
#include "ftp/IdFTP.h"
#include "model/FailureLog.h"
#include "model/SiteAddress.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/NameText.h"
#include "sites/SitePasswords.h"
#include "sites/SiteUnit.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {

const QColor kTraceBlue(0, 0, 255);

std::string programFileName()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? std::string("tarn") : QFileInfo(path).fileName().toStdString();
}

std::tm localTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

void TFTPForm::connectSessionEvents()
{
    IdFTP1->OnStatus = [this](TIdComponent*, TIdStatus status, const std::string& text) {
        IdFTP1Status(status, text);
    };
    IdFTP1->OnDisconnected = [this](TIdComponent*) { IdFTP1Disconnected(); };
    IdFTP1->OnWorkBegin = [this](TIdComponent*, TWorkMode mode, std::int64_t maximum) {
        m_transfers->IdFTP1WorkBegin(mode, maximum);
    };
    IdFTP1->OnWork = [this](TIdComponent*, TWorkMode mode, std::int64_t count) {
        m_transfers->IdFTP1Work(mode, count);
    };
    IdFTP1->OnWorkEnd = [this](TIdComponent*, TWorkMode mode) { m_transfers->IdFTP1WorkEnd(mode); };
    connect(acConnect, &QAction::triggered, this, reportingErrors([this] { acConnectExecute(); }));
}

void TFTPForm::showConnectCommand(bool connected)
{
    acConnect->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    acConnect->setToolTip(connected ? QStringLiteral("Disconnect from site")
                                    : QStringLiteral("Connect to site"));
    acConnect->setIcon(actionImage(connected ? kDisconnectImage : kConnectImage, style()));
    acConnect->setEnabled(true);
}

void TFTPForm::showDisconnectedState()
{
    LVR->clearRows();
    SetOpsEnabled(false);
    SetFileEnabled(true);
    showConnectCommand(false);
    setStatusPanel(3, QString());
    SecurityPanel->clear();
}

void TFTPForm::showSecurityState()
{
    if (!sessionConnected()) {
        SecurityPanel->clear();
        return;
    }
    if (!IdFTP1->TLSActive()) {
        SecurityPanel->setText(QStringLiteral("Not encrypted"));
        SecurityPanel->setToolTip(QStringLiteral("Plain FTP: passwords and files cross the network in clear"));
        return;
    }
    SecurityPanel->setText(QStringLiteral("Encrypted (%1)").arg(QString::fromStdString(IdFTP1->TLSVersion())));
    SecurityPanel->setToolTip(IdFTP1->CertificateTrustedByUser()
                                  ? QStringLiteral("FTP over TLS; you chose to trust the certificate")
                                  : QStringLiteral("FTP over TLS; the certificate is verified"));
}

void TFTPForm::acConnectExecute()
{
    // A program that is ending opens no connection (a run of uploads goes on after a box).
    if (SiteCount == 0 || m_programEnded)
        return;
    // A command still unwinding from a closed session must finish before a new one opens.
    if (m_operation.depth > 0 && !sessionConnected()) {
        dialogs().beep();
        return;
    }
    acConnect->setEnabled(false);
    if (sessionConnected())
        disconnectSession();
    else
        connectSession();
}

void TFTPForm::disconnectSession()
{
    try {
        try {
            if (m_operation.TransferActive)
                m_transfers->abortRunningTransfer();
            IdFTP1->CloseSession();
        } catch (const EIdException& error) {
            ReportFailure(error, QStringLiteral("C1"));
        }
    } catch (...) {
        finishDisconnect();
        throw;
    }
    finishDisconnect();
}

void TFTPForm::finishDisconnect()
{
    m_operation.endedByUser = true;
    showDisconnectedState();
    addStampedTraceLine(QStringLiteral("Disconnected."), TraceStamp::TimeAndDateLast);
}

void TFTPForm::connectSession()
{
    // A copy: the keyring is awaited with events handled.
    const TSiteRecord site = SiteList[static_cast<std::size_t>(CurrentSite)];
    RemDir->setText(nameText(site.RDir));
    SetFileEnabled(false);
    const SitePassword password = sitePasswordForConnect(site);
    if (!password.found) {
        dialogs().messageBox(password.failure, MsgIcon::Error, {MsgButton::Ok});
        finishConnect();
        return;
    }
    const std::string remoteDirectory = site.RDir;
    const SiteAddress address = splitSiteHost(site.Host);
    IdFTP1->SetUsername(site.User);
    IdFTP1->SetPassword(password.password);
    IdFTP1->Host = address.host;
    IdFTP1->Port = address.port != 0 ? address.port : defaultSitePort(site);
    IdFTP1->TLSSettings = siteTLSSettings(site);
    m_operation.endedByUser = false;
    addStampedTraceLine(QStringLiteral("Connecting"), TraceStamp::TimeAndDateLast);
    try {
        openSiteSession(remoteDirectory);
    } catch (...) {
        finishConnect();
        throw;
    }
    finishConnect();
}

SitePassword TFTPForm::sitePasswordForConnect(const TSiteRecord& site)
{
    // Counted as a running command, so a second connect started meanwhile is refused.
    RunningOperation::Scope operation(m_operation);
    return readSitePassword(site);
}

void TFTPForm::openSiteSession(const std::string& remoteDirectory)
{
    RunningOperation::Scope operation(m_operation);
    QString placeCode = QStringLiteral("CF");
    try {
        IdFTP1->OpenSession(true, -1);
        placeCode = QStringLiteral("CD");
        if (!remoteDirectory.empty())
            IdFTP1->ChangeDirectory(remoteDirectory);
    } catch (const EIdOSSLError& error) {
        // TLS failures (handshake, certificate, no TLS offered) have their own place code and
        // show their reason rather than the advice about the Internet connection.
        ReportFailure(error, QStringLiteral("CT"));
        AddTraceLine(8, true, kTraceBlue, QStringLiteral("Connection failed"));
    } catch (const EIdException& error) {
        ReportFailure(error, placeCode);
        if (!sessionConnected())
            AddTraceLine(8, true, kTraceBlue, QStringLiteral("Connection failed"));
    }
}

void TFTPForm::finishConnect()
{
    if (sessionConnected() && !m_uploadRun->AutoUploadActive)
        ListRemoteDirectory();
    showSecurityState();
    if (sessionConnected()) {
        SetOpsEnabled(true);
        showConnectCommand(true);
    } else {
        SetOpsEnabled(false);
        SetFileEnabled(true);
        showConnectCommand(false);
    }
}

std::string TFTPForm::failureLogPath() const
{
    return TempFolderPath + kFailureLogName;
}

void TFTPForm::ReportFailure(const EIdException& error, const QString& placeCode)
{
    if (placeCode == QLatin1String("CD")) {
        dialogs().messageBox(QStringLiteral("Remote Directory invalid. Correct Site definition?"),
                             MsgIcon::Error, {MsgButton::Ignore});
        return;
    }
    // A session the user closed under a running command ends that command quietly.
    if (m_operation.endedByUser && !sessionConnected()) {
        showDisconnectedState();
        return;
    }
    const std::string message = error.Message();
    const std::optional<QString> logTrouble = writeFailureLog(error, placeCode);
    const QString text = placeCode == QLatin1String("CF")
        ? QStringLiteral("Connection failed.  Check you are connected to the Internet\r"
                         "(Details logged in FTP-log.txt in Windows Temporary Folder)")
        : QString::fromLocal8Bit(message) + QStringLiteral("\rDisconnecting.   (Code=") + placeCode
              + u')';
    // The user refused the certificate in its box (or the headless run said why): no second box.
    if (dynamic_cast<const EIdFTPCertificateRefused*>(&error) == nullptr)
        dialogs().showMessage(text);
    showDisconnectedState();
    closeAfterFailure();
    if (logTrouble)
        tellLogTrouble(*logTrouble);
}

// A log that cannot be written (a link, a FIFO, another user's file, a full disk) must not
// take the place of the failure's own report: its trouble is answered, not raised.
std::optional<QString> TFTPForm::writeFailureLog(const EIdException& error, const QString& placeCode)
{
    try {
        appendFailureLog(failureLogPath(),
                         failureLogLine(localTimeNow(), placeCode.toStdString(),
                                        failureDetails(error.ClassName(), programFileName(), error.Message())));
    } catch (const EFailureLogError& trouble) {
        return QString::fromLocal8Bit(trouble.what());
    }
    return std::nullopt;
}

// One line: in the trace, or on standard error when no window is shown (the trace goes to
// standard output there, the messages to standard error).
void TFTPForm::tellLogTrouble(const QString& trouble)
{
    if (m_startMode == StartMode::Headless)
        dialogs().messageBox(trouble, MsgIcon::Warning, {MsgButton::Ok});
    else
        AddTraceLine(8, true, kTraceBlue, trouble);
}

void TFTPForm::closeAfterFailure()
{
    if (!sessionConnected())
        return;
    try {
        IdFTP1->CloseConnection();
        addStampedTraceLine(QStringLiteral("Disconnected"), TraceStamp::TimeAndDateLast);
    } catch (const std::exception& error) {
        dialogs().showMessage(QStringLiteral("Disconnect failed; Message= ")
                              + QString::fromLocal8Bit(error.what()));
    }
}

void TFTPForm::IdFTP1Status(TIdStatus, const std::string& statusText)
{
    setStatusPanel(1, addStampedTraceLine(QString::fromLocal8Bit(statusText), TraceStamp::TimeFirst));
}

void TFTPForm::IdFTP1Disconnected()
{
    setStatusPanel(1, QStringLiteral("Disconnected."));
}
