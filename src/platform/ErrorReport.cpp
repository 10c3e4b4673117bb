// Shows an unhandled error's message.
#include "platform/ErrorReport.h"

#include "platform/Dialogs.h"

void showErrorReport(const std::exception& error)
{
    dialogs().messageBox(QString::fromLocal8Bit(error.what()), MsgIcon::Error, {MsgButton::Ok});
}

void showUnknownErrorReport()
{
    dialogs().messageBox(QStringLiteral("An unexpected error occurred."), MsgIcon::Error,
                         {MsgButton::Ok});
}
