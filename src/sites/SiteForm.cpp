// The site editor dialog: its layout, the create and edit modes, the local directory check
// and the save into the site store.
#include "sites/SiteForm.h"

#include "ftp/IdGlobal.h"
#include "model/PathText.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"
#include "platform/ErrorReport.h"
#include "platform/PasswordStore.h"
#include "sites/SitePasswords.h"
#include "sites/SiteUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

char SiteEditMode = 'N';

namespace {

const QColor kTeal(0, 128, 128);
constexpr int kFieldWidth = 153;
constexpr int kMaxNameLength = 20;

void paintText(QWidget* widget, const QColor& color, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

void makeBold(QWidget* widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, bool bold)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Neither button is the default, so Enter never closes the dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (bold)
        makeBold(button);
    return button;
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

void showError(const QString& text)
{
    dialogs().messageBox(text, MsgIcon::Error, {MsgButton::Ok});
}

// Keeps a widget disabled for as long as the scope lasts, on every path out of it.
class DisabledWhile {
public:
    explicit DisabledWhile(QWidget* widget) : m_widget(widget) { m_widget->setEnabled(false); }
    ~DisabledWhile() { m_widget->setEnabled(true); }
    DisabledWhile(const DisabledWhile&) = delete;
    DisabledWhile& operator=(const DisabledWhile&) = delete;

private:
    QWidget* m_widget;
};

}  // namespace

TSiteForm::TSiteForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName("SiteForm");
    setModal(true);
    setProperty("helpContext", 400);
    buildLayout();
    applyTabOrder();
    resize(479, 375); // the first 309, and rows for Encryption and Connections

    connect(BrowseButton, &QPushButton::clicked, this, reportingErrors([this] { BrowseButtonClick(); }));
    connect(SaveButton, &QPushButton::clicked, this, reportingErrors([this] { SaveButtonClick(); }));
    connect(CancelButton, &QPushButton::clicked, this, reportingErrors([this] { CancelButtonClick(); }));
    for (QLineEdit* edit : {sName, sHost, sUser, sPass, sRDir, sLDir})
        connect(edit, &QLineEdit::textChanged, this, reportingErrors([this] { sAnyChange(); }));
    connect(sPasV, &QCheckBox::toggled, this, reportingErrors([this] { sAnyChange(); }));
    connect(sEncryption, &QComboBox::currentIndexChanged, this, reportingErrors([this] { sAnyChange(); }));
    connect(sKeepPW, &QCheckBox::toggled, this, reportingErrors([this] { sAnyChange(); }));
    connect(sConnections, &QSpinBox::valueChanged, this, reportingErrors([this] { sAnyChange(); }));
    // A password typed by the user is known, whatever the keyring said.
    connect(sPass, &QLineEdit::textEdited, this, [this] { m_passwordState = PasswordState::Known; });
    // The field is narrower than most paths: the whole path shows on hovering.
    connect(sLDir, &QLineEdit::textChanged, sLDir, &QLineEdit::setToolTip);
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           reportingErrors([this](QWidget* old, QWidget* now) {
                               if (old == sLDir)
                                   sLDirExit(now);
                           }));
}

// Destroying the fields moves the focus, and the signal would reach a dialog that is no
// longer a TSiteForm (QObject cuts its connections only after every derived part is gone).
TSiteForm::~TSiteForm()
{
    disconnect(m_focusWatch);
}

QLineEdit* TSiteForm::addField(QGridLayout* grid, int row, const char* name,
                               const QString& label, int helpContext)
{
    auto* caption = new QLabel(label, this);
    paintText(caption, kTeal, QPalette::WindowText);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setFixedWidth(kFieldWidth);
    edit->setProperty("helpContext", helpContext);
    // Black text on the white of a plain edit box, whatever the desktop's colour scheme:
    // on a dark scheme's field black text could not be read.
    paintText(edit, Qt::black, QPalette::Text);
    paintText(edit, Qt::white, QPalette::Base);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

void TSiteForm::buildLayout()
{
    sEditFunction = new QLabel(this);
    sEditFunction->setObjectName("sEditFunction");
    sEditFunction->setAlignment(Qt::AlignCenter);
    paintText(sEditFunction, kTeal, QPalette::WindowText);
    QFont headingFont = sEditFunction->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.25);
    sEditFunction->setFont(headingFont);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    sName = addField(grid, 0, "sName", "Site Name (the name you use to identify this site)", 410);
    sName->setMaxLength(kMaxNameLength);
    sHost = addField(grid, 1, "sHost", "FTP Host name (supplied by your service provider)", 420);
    // The port is ours to offer beyond the host name; without one the session uses 21.
    sHost->setToolTip("Host name or address; add :port for a server on another port than 21, "
                      "for example ftp.example.org:2121");
    sHost->setPlaceholderText("ftp.example.org or ftp.example.org:2121");
    sUser = addField(grid, 2, "sUser", "FTP User ID (supplied by service provider)", 430);
    sPass = addField(grid, 3, "sPass", "FTP Login password", 440);
    sPass->setEchoMode(QLineEdit::Password);
    sPass->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    sRDir = addField(grid, 4, "sRDir", "Initial Directory on the remote server", 450);
    sLDir = addField(grid, 5, "sLDir", "Initial Directory on the local computer", 460);
    BrowseButton = makeButton(this, "BrowseButton", "Browse..", false);
    grid->addWidget(BrowseButton, 5, 2);

    sPasV = new QCheckBox("Use passive FTP", this);
    sPasV->setObjectName("sPasV");
    sPasV->setProperty("helpContext", 470);
    sPasV->setLayoutDirection(Qt::RightToLeft);  // the text stands left of the box
    paintText(sPasV, kTeal, QPalette::WindowText);
    grid->addWidget(sPasV, 6, 0, Qt::AlignLeft | Qt::AlignAbsolute);
    addEncryptionChoice(grid, 7);
    addConnectionsChoice(grid, 8);
    sKeepPW = new QCheckBox("Keep the password in the settings file for unattended runs", this);
    sKeepPW->setObjectName("sKeepPW");
    sKeepPW->setProperty("helpContext", 490);
    sKeepPW->setLayoutDirection(Qt::RightToLeft);
    sKeepPW->setToolTip("Without it the password goes into the desktop keyring, which a run from "
                        "cron (tarn --batch) usually cannot reach");
    paintText(sKeepPW, kTeal, QPalette::WindowText);
    grid->addWidget(sKeepPW, 9, 0, 1, 4, Qt::AlignLeft | Qt::AlignAbsolute);
    grid->setColumnStretch(3, 1);

    SaveButton = makeButton(this, "SaveButton", "Save / Exit", true);
    CancelButton = makeButton(this, "CancelButton", "Cancel", true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    buttons->addSpacing(24);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 12, 16, 16);
    page->addWidget(sEditFunction);
    page->addSpacing(8);
    page->addLayout(grid);
    page->addStretch(1);
    page->addSpacing(8);
    page->addLayout(buttons);
}

void TSiteForm::addEncryptionChoice(QGridLayout* grid, int row)
{
    sEncryption = new QComboBox(this);
    sEncryption->setObjectName("sEncryption");
    sEncryption->setProperty("helpContext", 480);
    sEncryption->addItems({"Plain FTP (insecure)", "Use explicit FTP over TLS if available",
                           "Require explicit FTP over TLS", "Require implicit FTP over TLS"});
    sEncryption->setToolTip("How the connection to this site is encrypted; implicit FTP over "
                            "TLS uses port 990 unless the host names another");
    auto* caption = new QLabel("Encryption", this);
    paintText(caption, kTeal, QPalette::WindowText);
    caption->setBuddy(sEncryption);
    grid->addWidget(caption, row, 0);
    // Across the field and Browse.. columns: its texts are longer than a field is wide.
    grid->addWidget(sEncryption, row, 1, 1, 2, Qt::AlignLeft);
}

void TSiteForm::addConnectionsChoice(QGridLayout* grid, int row)
{
    sConnections = new QSpinBox(this);
    sConnections->setObjectName("sConnections");
    sConnections->setProperty("helpContext", 485);
    sConnections->setRange(1, TSiteRecord::kMaxConnections);
    sConnections->setToolTip("How many files the transfer queue moves to and from this site at once");
    auto* caption = new QLabel("Parallel transfers in the queue", this);
    paintText(caption, kTeal, QPalette::WindowText);
    caption->setBuddy(sConnections);
    grid->addWidget(caption, row, 0);
    grid->addWidget(sConnections, row, 1, Qt::AlignLeft);
}

void TSiteForm::applyTabOrder()
{
    QWidget* const order[] = {sName, sHost, sUser, sPass, sRDir, sLDir,
                              SaveButton, CancelButton, BrowseButton, sPasV, sEncryption, sConnections, sKeepPW};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

bool TSiteForm::ShowModal(char editMode)
{
    SiteEditMode = editMode;
    return ShowModal();
}

bool TSiteForm::ShowModal()
{
    if (SiteEditMode == 'E' && !isSiteIndex(CurrentSite))
        return false;
    FormShow();
    sName->setFocus();
    return exec() == QDialog::Accepted;
}

void TSiteForm::fillField(QLineEdit* edit, const std::string& bytes)
{
    setFieldText(edit, nameText(bytes));
    keepBoxBytes(edit, bytes);
}

void TSiteForm::setFieldText(QLineEdit* edit, const QString& text)
{
    // Only a different text is written, so an unchanged field raises no change.
    if (edit->text() != text)
        edit->setText(text);
    edit->setCursorPosition(0);  // a long path shows its beginning
}

// Typing is held to 20 characters, but a longer stored name (from a site file) shows whole:
// cut to the limit, saving another field would rename the site and drop its key.
void TSiteForm::fillName(const std::string& bytes)
{
    const auto length = static_cast<int>(nameText(bytes).size());
    sName->setMaxLength(std::max(kMaxNameLength, length));
    fillField(sName, bytes);
}

void TSiteForm::FormShow()
{
    SiteDataChanged = false;
    m_exitCheckPending = false;
    if (SiteEditMode == 'E' && isSiteIndex(CurrentSite)) {
        const TSiteRecord& site = SiteList[CurrentSite];
        fillName(site.Name);
        fillField(sHost, site.Host);
        fillField(sUser, site.User);
        fillField(sRDir, site.RDir);
        fillField(sLDir, site.LDir);
        showSitePassword(site);
        sPasV->setChecked(site.Passive);
        sEncryption->setCurrentIndex(static_cast<int>(site.Encryption));
        sConnections->setValue(site.Connections);
        sKeepPW->setChecked(site.KeepPass);
        setWindowTitle("Site Window: Edit site");
        sEditFunction->setText("Edit the selected site");
        return;
    }
    fillName(proposedSiteName());
    showSitePassword(TSiteRecord());
    for (QLineEdit* edit : {sHost, sUser, sRDir, sLDir})
        fillField(edit, {});
    sPasV->setChecked(false);
    sEncryption->setCurrentIndex(static_cast<int>(TSiteEncryption::ExplicitIfAvailable));
    sConnections->setValue(TSiteRecord::kDefaultConnections);
    sKeepPW->setChecked(false);
    setWindowTitle("Site Window: Create new site");
    sEditFunction->setText("Enter details of new site");
}

// "Site-" and the number after the last site; when a site already has that name, the next
// free number, so the proposal is never a name the save would refuse.
std::string TSiteForm::proposedSiteName() const
{
    for (std::int32_t number = SiteCount + 1;; ++number) {
        const std::string name = "Site-" + std::to_string(number);
        if (!nameUsedByAnotherSite(QString::fromStdString(name)))
            return name;
    }
}

void TSiteForm::sAnyChange()
{
    SiteDataChanged = true;
}

void TSiteForm::sLDirExit(QWidget* now)
{
    // Only a move to another control of this dialog counts: switching to another window, or
    // to the box a check itself opens, is not leaving the field. Browse.. is where the user
    // goes to fix the field, and Cancel must stay a way out of an unfinished site.
    if (now == nullptr || now->window() != this || now == BrowseButton || now == CancelButton)
        return;
    if (sLDir->text().isEmpty())
        return;
    // Checked once the focus change is over, so a click on Save / Exit is not checked twice.
    m_exitCheckPending = true;
    QTimer::singleShot(0, this, reportingErrors([this] { checkLocalDirAfterExit(); }));
}

void TSiteForm::checkLocalDirAfterExit()
{
    if (!m_exitCheckPending || !isVisible())
        return;
    m_exitCheckPending = false;
    ValidateLocalDir();
}

bool TSiteForm::ValidateLocalDir()
{
    if (QFileInfo(sLDir->text()).isDir())
        return false;
    dialogs().beep();
    showError("Local directory does not exist. Correct");
    sLDir->setFocus();
    return true;
}

void TSiteForm::BrowseButtonClick()
{
    QString folder;
    if (!dialogs().chooseFolder("Select Local Directory", folder))
        return;
    setFieldText(sLDir, nameText(withDelimiter(nameBytes(folder))));
}

bool TSiteForm::nameUsedByAnotherSite(const QString& name) const
{
    for (std::int32_t i = 0; i < SiteCount; ++i) {
        if (SiteEditMode == 'E' && i == CurrentSite)
            continue;
        const QString other = nameText(SiteList[i].Name);
        if (QString::compare(other, name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// A site must be found again by its name after the list is reloaded, and two sites whose
// names differ only in case would share one key, one of them lost.
bool TSiteForm::refuseSiteName()
{
    const QString name = sName->text();
    QString problem;
    if (name.isEmpty())
        problem = "Site name must not be empty";
    else if (hasControlCharacter(name))
        problem = "Site name must not contain control characters";
    else if (nameUsedByAnotherSite(name))
        problem = "A site named " + name + " already exists. Choose another name";
    if (problem.isEmpty())
        return false;
    showError(problem);
    sName->setFocus();
    return true;
}

void TSiteForm::storeSite()
{
    if (SiteEditMode == 'E') {
        const std::string oldName = SiteList[CurrentSite].Name;
        if (boxPath(sName) != oldName)
            DeleteSiteKey(oldName);
    } else {
        SiteList.emplace_back();
        SiteCount = static_cast<std::int32_t>(SiteList.size());
        CurrentSite = SiteCount - 1;
    }
    TSiteRecord& site = SiteList[CurrentSite];
    site.Name = boxPath(sName);
    site.Host = boxPath(sHost);
    site.User = boxPath(sUser);
    site.Pass = EncodePassword(boxPath(sPass));
    site.RDir = Trim(boxPath(sRDir));
    site.LDir = boxPath(sLDir);
    site.Passive = sPasV->isChecked();
    site.Encryption = static_cast<TSiteEncryption>(sEncryption->currentIndex());
    site.KeepPass = sKeepPW->isChecked();
    site.Connections = sConnections->value();
    // The keyring's answers are awaited with events handled: no second save meanwhile.
    const DisabledWhile saving(this);
    SaveSiteList();
}

void TSiteForm::showSitePassword(const TSiteRecord& site)
{
    const int read = ++m_passwordRead;
    sPass->setEnabled(true);
    sPass->setPlaceholderText({});
    if (site.PassEntry.empty()) {
        m_passwordState = PasswordState::Known;
        fillField(sPass, DecodePassword(site.Pass));
        sPass->setToolTip(site.Pass.empty() ? QString() : QStringLiteral("Kept in the settings file"));
        return;
    }
    m_passwordState = PasswordState::Reading;
    const QString shownBefore = sPass->text();
    {
        const QSignalBlocker quiet(sPass);
        sPass->clear();
    }
    sPass->setEnabled(false);
    sPass->setPlaceholderText(QStringLiteral("reading the keyring..."));
    QTimer::singleShot(passwordWaitLimit(), this, [this, read, site, shownBefore] {
        passwordArrived(read, site, {PasswordResult::Unreachable, {}, noAnswerText()}, shownBefore);
    });
    QPointer<TSiteForm> form(this);
    passwordStore().read(QString::fromUtf8(site.PassEntry.c_str()), [form, read, site, shownBefore](const PasswordReply& reply) {
        if (form)
            form->passwordArrived(read, site, reply, shownBefore);
    });
}

void TSiteForm::passwordArrived(int read, const TSiteRecord& site, const PasswordReply& reply,
                                const QString& shownBefore)
{
    if (read != m_passwordRead || m_passwordState != PasswordState::Reading)
        return;
    const bool found = reply.result == PasswordResult::Done;
    m_passwordState = found ? PasswordState::Known : PasswordState::Unreadable;
    m_passwordProblem = found ? QString() : passwordFailureText(site, reply);
    {
        const QSignalBlocker quiet(sPass);
        fillField(sPass, reply.password);
    }
    // As if the field had been filled when the editor opened: only a password other than the
    // one shown at the end of the last use is a change.
    if (sPass->text() != shownBefore)
        SiteDataChanged = true;
    sPass->setEnabled(true);
    sPass->setPlaceholderText(found ? QString() : QStringLiteral("type the password again"));
    sPass->setToolTip(found ? QStringLiteral("Kept in the desktop keyring") : m_passwordProblem);
}

bool TSiteForm::refuseUnknownPassword()
{
    if (m_passwordState == PasswordState::Known)
        return false;
    showError(m_passwordState == PasswordState::Reading
                  ? QStringLiteral("The password is still being read from the desktop keyring. Save again in a moment.")
                  : m_passwordProblem + QStringLiteral("\rType the password to save the site."));
    if (sPass->isEnabled())
        sPass->setFocus();
    return true;
}

void TSiteForm::tellPasswordInSettingsFile()
{
    if (m_toldSettingsFile || lastPasswordFallback().isEmpty() || CurrentSite < 0 || CurrentSite >= SiteCount)
        return;
    const TSiteRecord& site = SiteList[CurrentSite];
    if (site.KeepPass || !site.PassEntry.empty())
        return;
    m_toldSettingsFile = true;
    dialogs().messageBox(QStringLiteral("No desktop keyring could be reached (%1), so the password of site %2 is "
                                        "stored in the settings file, scrambled but not encrypted. It moves into "
                                        "the keyring when the site is saved again with a keyring present.")
                             .arg(lastPasswordFallback(), QString::fromUtf8(site.Name.c_str())),
                         MsgIcon::Information, {MsgButton::Ok});
}

void TSiteForm::SaveButtonClick()
{
    m_exitCheckPending = false;
    if (!SiteDataChanged) {
        dialogs().showMessage("No data changed");
        return;
    }
    if (SiteEditMode == 'E' && !isSiteIndex(CurrentSite))
        return;
    if (refuseUnknownPassword() || refuseSiteName() || ValidateLocalDir())
        return;
    storeSite();
    tellPasswordInSettingsFile();
    accept();
}

void TSiteForm::CancelButtonClick()
{
    m_exitCheckPending = false;
    reject();
}

void TSiteForm::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close the editor: only Cancel, the close button and a save do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    runReportingErrors([&] { QDialog::keyPressEvent(event); });
}
