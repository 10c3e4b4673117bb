// Names are UTF-8 on this system; invalid bytes are shown, never stored, as replacements.
#include "app/NameText.h"

QString nameText(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string nameBytes(const QString& text)
{
    return text.toStdString();
}

std::string editedNameBytes(const std::string& oldBytes, const QString& text)
{
    return text == nameText(oldBytes) ? oldBytes : nameBytes(text);
}
