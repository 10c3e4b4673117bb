// The temporary folder from Qt (TMPDIR, else /tmp), made to end with the path delimiter.
#include "platform/TempFolder.h"

#include <QDir>
#include <QFile>

std::string tempFolderPath()
{
    std::string path = QFile::encodeName(QDir::tempPath()).toStdString();
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}
