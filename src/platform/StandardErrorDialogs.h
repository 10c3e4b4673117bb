// Dialogs for a run without a window: every box becomes one line on a stream (standard error
// by default) and is answered as if it had been closed; every question is cancelled, so the
// run never waits for anyone.
#pragma once

#include "platform/Dialogs.h"

#include <ostream>

class StandardErrorDialogs : public Dialogs {
public:
    explicit StandardErrorDialogs(std::ostream& out);

    MsgButton messageBox(const QString& text, MsgIcon icon,
                         const std::vector<MsgButton>& buttons) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool openFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool saveFileName(const QString& title, const QString& filter, QString& fileName) override;
    bool chooseFolder(const QString& caption, QString& folder) override;
    void beep() override {}
    // One line naming the certificate and how to trust it; answers Cancel.
    CertificateAnswer askCertificate(const CertificateQuestion& question) override;
    // Nobody to ask: the offered (remembered) choice, for the whole run.
    ExistsAnswer askExists(const ExistsQuestion& question) override { return {question.offered, true}; }

private:
    void writeLine(const QString& text);

    std::ostream& m_out;
};
