// The temporary folder from Qt (TMPDIR, else /tmp), made to end with the path delimiter.
#include "platform/TempFolder.h"

#include "model/PathText.h"

#include <QDir>
#include <QFile>

std::string tempFolderPath()
{
    return withDelimiter(QFile::encodeName(QDir::tempPath()).toStdString());
}
