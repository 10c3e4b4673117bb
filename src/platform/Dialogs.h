// Message boxes, input boxes, file and folder dialogs and the beep, behind one interface so
// that every window routine can be driven by a script in tests.
#pragma once

#include "queue/QueueTypes.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

enum class MsgIcon { None, Error, Confirmation, Warning, Information };

// Button values keep the numbers the system's message boxes answer with.
enum class MsgButton { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// A server certificate the system could not vouch for, or one that differs from the one the
// user trusted before: what the certificate box shows.
struct CertificateQuestion {
    QString server; // "host:port"
    QString subject;
    QString issuer;
    QString validFrom;
    QString validUntil;
    QString fingerprint; // SHA-256
    QString reason;
    // The fingerprint trusted before, when the certificate changed; empty otherwise.
    QString trustedFingerprint;
};

enum class CertificateAnswer { TrustAlways, TrustThisTime, Cancel };

// The certificate box's text, the same for every implementation.
QString certificateText(const CertificateQuestion& question);

// A file the transfer queue would write exists already at its target: what to do with it
// (and, with applyToAll, with every other one of the run), as one of the queue's rules.
struct ExistsQuestion {
    QString target;      // the existing file, as the user knows it
    QString source;      // the file that would replace it
    QString sourceFacts; // "12,345 bytes, 2026/12/09 11:30", as far as known
    QString targetFacts;
    ExistsRule offered = ExistsRule::Overwrite; // chosen when the box opens
};
struct ExistsAnswer {
    ExistsRule choice = ExistsRule::Skip;
    bool applyToAll = false;
};

class QMessageBox;

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows `text` with `icon` and `buttons` (in that order) and answers the pressed button;
    // closing the box without a button answers the last button.
    virtual MsgButton messageBox(const QString& text, MsgIcon icon,
                                 const std::vector<MsgButton>& buttons) = 0;
    // The plain box: no icon, one OK button.
    void showMessage(const QString& text) { messageBox(text, MsgIcon::None, {MsgButton::Ok}); }

    // Input query: answers true on OK with `value` changed, false on Cancel (value unchanged).
    virtual bool inputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // Input box: answers the text on OK, `defaultValue` on Cancel; by default the input query.
    virtual QString inputBox(const QString& caption, const QString& prompt,
                             const QString& defaultValue)
    {
        QString value = defaultValue;
        inputQuery(caption, prompt, value);
        return value;
    }

    // File dialogs: true with `fileName` set when the user chose a file. `filter` is a Qt
    // filter ("All files (*)"); `fileName` comes in as the proposed name.
    virtual bool openFileName(const QString& title, const QString& filter, QString& fileName) = 0;
    // The save dialog asks before overwriting an existing file.
    virtual bool saveFileName(const QString& title, const QString& filter, QString& fileName) = 0;
    // Folder chooser: true with `folder` set when the user chose one; `folder` comes in as the
    // folder to start from.
    virtual bool chooseFolder(const QString& caption, QString& folder) = 0;

    virtual void beep() = 0;

    // The certificate box with "Trust always", "Trust this time" and "Cancel".
    virtual CertificateAnswer askCertificate(const CertificateQuestion& question) = 0;

    // The queue's question about an existing target; closing the box skips this file alone.
    virtual ExistsAnswer askExists(const ExistsQuestion& question) = 0;

    // The file dialogs with a default extension: a name chosen without one gets "." + suffix
    // (and the save dialog's overwrite question is about that full name).
    bool openFileWithSuffix(const QString& title, const QString& filter, const QString& suffix,
                            QString& fileName);
    bool saveFileWithSuffix(const QString& title, const QString& filter, const QString& suffix,
                            QString& fileName);

protected:
    // The default extension of the file dialog now being shown; empty for none.
    const QString& defaultSuffix() const { return m_defaultSuffix; }

private:
    template <typename Show>
    bool withDefaultSuffix(const QString& suffix, QString& fileName, Show show);

    QString m_defaultSuffix;
};

// The implementation every window routine uses; the Qt one unless a test installed another.
Dialogs& dialogs();
// Installs `replacement` (nullptr restores the Qt implementation).
void installDialogs(std::unique_ptr<Dialogs> replacement);

// Real boxes and dialogs.
class QtDialogs : public Dialogs {
public:
    MsgButton messageBox(const QString& text, MsgIcon icon,
                         const std::vector<MsgButton>& buttons) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool openFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool saveFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool chooseFolder(const QString& caption, QString& folder) override;
    void beep() override;
    CertificateAnswer askCertificate(const CertificateQuestion& question) override;
    ExistsAnswer askExists(const ExistsQuestion& question) override;
    // The certificate box, built but not shown.
    static std::unique_ptr<QMessageBox> certificateBox(const CertificateQuestion& question);
};

// For tests: records every box and dialog and answers from a script. Each kind of question
// has its own queue of answers; an empty queue answers a message box with its first button,
// and every other question with Cancel.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        MsgIcon icon;
        std::vector<MsgButton> buttons;
    };
    struct Question {          // input queries, input boxes, file and folder dialogs
        QString kind;          // "inputQuery", "inputBox", "open", "save", "folder"
        QString caption;
        QString prompt;
        QString proposed;
    };

    std::vector<Box> boxes;
    std::vector<Question> questions;
    int beeps = 0;

    // Answers, consumed in order.
    std::vector<MsgButton> boxAnswers;
    // For input queries, input boxes and file and folder dialogs: an accepted answer is the
    // text entered or chosen; one not accepted stands for Cancel.
    struct Answer {
        bool accepted;
        QString text;
    };
    std::vector<Answer> textAnswers;
    // Certificate boxes shown, and their answers (Cancel once none is left).
    std::vector<CertificateQuestion> certificateQuestions;
    std::vector<CertificateAnswer> certificateAnswers;
    // Exists questions asked, and their answers (the offered choice for all once none is left).
    std::vector<ExistsQuestion> existsQuestions;
    std::vector<ExistsAnswer> existsAnswers;

    void answerBox(MsgButton button) { boxAnswers.push_back(button); }
    void answerText(const QString& text) { textAnswers.push_back({true, text}); }
    void answerCancel() { textAnswers.push_back({false, {}}); }

    // The text of every box shown so far, oldest first.
    QStringList boxTexts() const;
    QString lastBoxText() const { return boxes.empty() ? QString() : boxes.back().text; }
    void clear();

    MsgButton messageBox(const QString& text, MsgIcon icon,
                         const std::vector<MsgButton>& buttons) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString inputBox(const QString& caption, const QString& prompt,
                     const QString& defaultValue) override;
    bool openFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool saveFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool chooseFolder(const QString& caption, QString& folder) override;
    void beep() override { ++beeps; }
    CertificateAnswer askCertificate(const CertificateQuestion& question) override;
    ExistsAnswer askExists(const ExistsQuestion& question) override;

private:
    bool nextText(const QString& kind, const QString& caption, const QString& prompt,
                  QString& value);
};
