// The certificate box in each implementation of the dialogs: the real box, the scripted one
// for tests, and the line the headless run writes instead of asking.
#include "platform/Dialogs.h"
#include "platform/StandardErrorDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QString certificateText(const CertificateQuestion& question)
{
    QString text = question.trustedFingerprint.isEmpty()
        ? QStringLiteral("The certificate of %1 could not be verified: %2.\n\n")
              .arg(question.server, question.reason)
        : QStringLiteral("WARNING: the certificate of %1 has changed since you trusted it. "
                         "Someone may be listening in on the connection.\n\n"
                         "Trusted before:\n%2\n\n")
              .arg(question.server, question.trustedFingerprint);
    text += QStringLiteral("Subject: %1\nIssuer: %2\nValid from: %3\nValid until: %4\n"
                           "SHA-256 fingerprint:\n%5\n\nTrust this certificate?")
                .arg(question.subject, question.issuer, question.validFrom, question.validUntil,
                     question.fingerprint);
    return text;
}

std::unique_ptr<QMessageBox> QtDialogs::certificateBox(const CertificateQuestion& question)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning,
                                             QApplication::applicationDisplayName(),
                                             certificateText(question), QMessageBox::NoButton,
                                             QApplication::activeWindow());
    box->setObjectName(QStringLiteral("CertificateBox"));
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // One role for both, so that they stand in this order whatever the desktop's button order.
    box->addButton(QStringLiteral("Trust always"), QMessageBox::AcceptRole)->setObjectName("TrustAlways");
    box->addButton(QStringLiteral("Trust this time"), QMessageBox::AcceptRole)->setObjectName("TrustThisTime");
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

CertificateAnswer QtDialogs::askCertificate(const CertificateQuestion& question)
{
    const std::unique_ptr<QMessageBox> box = certificateBox(question);
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    const QString pressed = clicked != nullptr ? clicked->objectName() : QString();
    if (pressed == QLatin1String("TrustAlways"))
        return CertificateAnswer::TrustAlways;
    if (pressed == QLatin1String("TrustThisTime"))
        return CertificateAnswer::TrustThisTime;
    return CertificateAnswer::Cancel;
}

CertificateAnswer ScriptedDialogs::askCertificate(const CertificateQuestion& question)
{
    certificateQuestions.push_back(question);
    if (certificateAnswers.empty())
        return CertificateAnswer::Cancel;
    const CertificateAnswer answer = certificateAnswers.front();
    certificateAnswers.erase(certificateAnswers.begin());
    return answer;
}

CertificateAnswer StandardErrorDialogs::askCertificate(const CertificateQuestion& question)
{
    const QString what = question.trustedFingerprint.isEmpty()
        ? QStringLiteral("is not trusted (%1)").arg(question.reason)
        : QStringLiteral("has changed since it was trusted (trusted before: %1)")
              .arg(question.trustedFingerprint);
    messageBox(QStringLiteral("The certificate of %1 %2; SHA-256 fingerprint %3. To trust it, "
                              "connect to the site once from the window and choose \"Trust "
                              "always\".")
                   .arg(question.server, what, question.fingerprint),
               MsgIcon::Error, {MsgButton::Abort});
    return CertificateAnswer::Cancel;
}
