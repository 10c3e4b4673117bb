// Names are UTF-8 on this system; invalid bytes are shown, never stored, as replacements.
#include "platform/NameText.h"

#include <QLineEdit>

namespace {

// Whether `bytes` may be cut at `at` without changing how the name reads: a cut inside a
// character, or between bytes that read as one replacement, shows differently.
bool readsTheSameCut(std::string_view bytes, std::size_t at, const QString& whole)
{
    return nameText(bytes.substr(0, at)) + nameText(bytes.substr(at)) == whole;
}

} // namespace

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
    const QString oldText = nameText(oldBytes);
    if (text == oldText)
        return oldBytes;
    // The longest start and then the longest end of the old name that the new text still
    // shows keep their bytes; only what lies between is taken from the text.
    std::size_t head = 0;
    qsizetype headLength = 0;
    for (std::size_t at = 1; at <= oldBytes.size(); ++at) {
        if (!readsTheSameCut(oldBytes, at, oldText))
            continue;
        const QString start = nameText(std::string_view(oldBytes).substr(0, at));
        if (!text.startsWith(start))
            break;
        head = at;
        headLength = start.size();
    }
    std::size_t tail = oldBytes.size();
    qsizetype tailLength = 0;
    for (std::size_t at = oldBytes.size(); at-- > head;) {
        if (!readsTheSameCut(oldBytes, at, oldText))
            continue;
        const QString end = nameText(std::string_view(oldBytes).substr(at));
        if (!text.endsWith(end) || headLength + end.size() > text.size())
            break;
        tail = at;
        tailLength = end.size();
    }
    const QString middle = text.mid(headLength, text.size() - headLength - tailLength);
    return oldBytes.substr(0, head) + nameBytes(middle) + oldBytes.substr(tail);
}

namespace {

constexpr const char* kPathBytes = "pathBytes";

} // namespace

void setBoxPath(QLineEdit* box, const std::string& path)
{
    keepBoxBytes(box, path);
    box->setText(nameText(path));
}

void keepBoxBytes(QLineEdit* box, const std::string& bytes)
{
    box->setProperty(kPathBytes, QByteArray::fromStdString(bytes));
}

std::string boxPath(const QLineEdit* box)
{
    const QByteArray kept = box->property(kPathBytes).toByteArray();
    const std::string bytes = kept.toStdString();
    if (!kept.isEmpty() && nameText(bytes) == box->text())
        return bytes;
    return nameBytes(box->text());
}
