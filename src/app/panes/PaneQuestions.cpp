// The shared boxes of the file panes.
#include "app/panes/PaneQuestions.h"

#include "app/panes/LocalFiles.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"

void showErrorBox(const QString& text)
{
    dialogs().messageBox(text, MsgIcon::Error, {MsgButton::Abort});
}

bool confirmed(const QString& question)
{
    return dialogs().messageBox(question, MsgIcon::Confirmation,
                                {MsgButton::Yes, MsgButton::Cancel}) == MsgButton::Yes;
}

QString deleteQuestion(const std::vector<PaneRow>& rows)
{
    if (rows.size() > 1)
        return QStringLiteral("Delete all selected items?");
    const PaneRow& row = rows.front();
    return (row.isDirectory() ? QStringLiteral("Delete directory ") : QStringLiteral("Delete file "))
           + nameText(row.name) + u'?';
}

void showRenameRefusal(const QString& newName)
{
    showErrorBox(QStringLiteral("Unable to rename to ") + newName
                 + QStringLiteral(". Is name already in use?"));
}

bool extensionChangeAccepted(const QString& oldName, const QString& newName)
{
    const QString oldExtension = extensionOf(oldName);
    const QString newExtension = extensionOf(newName);
    return oldExtension == newExtension
           || confirmed(QStringLiteral("File extension has been changed from ") + oldExtension
                        + QStringLiteral(" to ") + newExtension + QStringLiteral("\nAre you sure?"));
}
