// The site editor: a modal dialog that creates a new site or edits the current one and
// saves the site list.
#pragma once

#include <QDialog>

#include <string>

struct PasswordReply;
struct TSiteRecord;

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// 'N' for a new site, 'E' for editing the current one; set before the editor is shown.
extern char SiteEditMode;

class TSiteForm : public QDialog {
    Q_OBJECT

public:
    explicit TSiteForm(QWidget* parent = nullptr);
    ~TSiteForm() override;

    // The window's entry: sets SiteEditMode to `editMode` ('N' or 'E') and shows the editor
    // modally. Answers true when a site was saved (the dialog closed with OK). Edit mode does
    // nothing (false) while no current site exists.
    bool ShowModal(char editMode);
    // Shows the editor in the current SiteEditMode.
    bool ShowModal();

    // Prepares the fields for the current SiteEditMode; ShowModal calls it every time.
    void FormShow();
    // Checks sLDir: true when it names no existing directory (after the message, with the
    // focus back in the field), false when the save may go on.
    bool ValidateLocalDir();
    void BrowseButtonClick();
    void SaveButtonClick();
    void CancelButtonClick();

    bool SiteDataChanged = false;

    QLabel* sEditFunction;
    QLineEdit* sName;
    QLineEdit* sHost;
    QLineEdit* sUser;
    QLineEdit* sPass;
    QLineEdit* sRDir;
    QLineEdit* sLDir;
    QPushButton* BrowseButton;
    QCheckBox* sPasV;
    // The Encryption choice, in the order of the stored values.
    QComboBox* sEncryption;
    // How many files the transfer queue moves at once for the site.
    QSpinBox* sConnections;
    // The password stays scrambled in the settings file, where a run without the desktop
    // keyring (cron) can read it.
    QCheckBox* sKeepPW;
    QPushButton* SaveButton;
    QPushButton* CancelButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    void applyTabOrder();
    void addEncryptionChoice(class QGridLayout* grid, int row);
    void addConnectionsChoice(class QGridLayout* grid, int row);
    QLineEdit* addField(class QGridLayout* grid, int row, const char* name, const QString& label,
                        int helpContext);
    void sAnyChange();
    void sLDirExit(QWidget* now);
    void checkLocalDirAfterExit();

    // A field shows its bytes as text; an unchanged field gives back the very bytes it was
    // filled with (boxPath), so a value that is not valid UTF-8 survives an edit of another field.
    void fillField(QLineEdit* edit, const std::string& bytes);
    void fillName(const std::string& bytes);
    void setFieldText(QLineEdit* edit, const QString& text);

    std::string proposedSiteName() const;
    bool refuseSiteName();
    bool nameUsedByAnotherSite(const QString& name) const;
    void storeSite();

    // The password field of an edited site: filled at once from the settings file, or once
    // the keyring answers (the field waits disabled meanwhile, at most the keyring's limit).
    void showSitePassword(const TSiteRecord& site);
    void passwordArrived(int read, const TSiteRecord& site, const PasswordReply& reply,
                         const QString& shownBefore);
    // A password that could not be read must be typed again before the site is saved.
    bool refuseUnknownPassword();
    // Once per run: the saved password stayed in the settings file for want of a keyring.
    void tellPasswordInSettingsFile();

    enum class PasswordState { Known, Reading, Unreadable };
    PasswordState m_passwordState = PasswordState::Known;
    QString m_passwordProblem;
    int m_passwordRead = 0;   // which read the field waits for; earlier answers are dropped
    bool m_toldSettingsFile = false;

    bool m_exitCheckPending = false;
    // The application-wide focus signal outlives the dialog: cut before the dialog's own parts go.
    QMetaObject::Connection m_focusWatch;
};
