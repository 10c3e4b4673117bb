// The folder chooser, through the dialogs layer so tests can answer it.
#include "app/panes/GxCommon.h"

#include "platform/Dialogs.h"

#include <QFileInfo>

bool SelectFolder(const QString& title, const QString& initialFolder, QString& folder)
{
    QString chosen = initialFolder;
    folder.clear();
    if (!dialogs().chooseFolder(title, chosen) || chosen.isEmpty() || !QFileInfo(chosen).isDir())
        return false;
    folder = chosen;
    return true;
}
