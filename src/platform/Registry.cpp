// The per-user registry over QSettings: path handling, case-insensitive key lookup, key-name
// escaping and typed values.
#include "platform/Registry.h"

#include "ftp/IdGlobal.h"
#include "platform/NameText.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

namespace {

// The length of the valid UTF-8 sequence that starts at `i`, or 0 when none starts there
// (a stray continuation byte, a cut sequence, an overlong form, a surrogate, or past U+10FFFF).
std::size_t validUtf8Length(std::string_view bytes, std::size_t i)
{
    // For each sequence length: the lead byte's mask and marker, and the smallest code point
    // that needs that length.
    struct Form {
        unsigned char mask;
        unsigned char marker;
        char32_t smallest;
    };
    constexpr Form kForms[] = {{0x80, 0x00, 0}, {0xE0, 0xC0, 0x80}, {0xF0, 0xE0, 0x800}, {0xF8, 0xF0, 0x10000}};
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (std::size_t length = 1; length <= std::size(kForms); ++length) {
        const Form& form = kForms[length - 1];
        if ((at(i) & form.mask) != form.marker)
            continue;
        if (i + length > bytes.size())
            return 0;
        char32_t code = at(i) & static_cast<unsigned char>(~form.mask);
        for (std::size_t k = 1; k < length; ++k) {
            if ((at(i + k) & 0xC0) != 0x80)
                return 0;
            code = (code << 6) | (at(i + k) & 0x3F);
        }
        const bool valid = code >= form.smallest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        return valid ? length : 0;
    }
    return 0;
}

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = validUtf8Length(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// A string value that is not valid UTF-8 is stored as its bytes inside a one-entry map: it
// reads back byte for byte and stays apart from binary values.
constexpr const char* kRawBytesEntry = "bytes";

QVariant storedString(const std::string& value)
{
    if (isValidUtf8(value))
        return nameText(value);
    return QVariantMap{{QString::fromLatin1(kRawBytesEntry), QByteArray::fromStdString(value)}};
}

bool holdsRawBytes(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap
           && value.toMap().value(QString::fromLatin1(kRawBytesEntry)).typeId()
                  == QMetaType::QByteArray;
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isBinary(const QVariant& value)
{
    return value.typeId() == QMetaType::QByteArray;
}

}  // namespace

Registry::Registry()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             "Kalmor", "Tarn"))
{
    // Only the user's own store counts: no organisation-wide or system-wide fallbacks.
    m_settings->setFallbacksEnabled(false);
}

Registry::~Registry()
{
    m_settings->sync();
}

std::string Registry::siteKeyPath(const std::string& siteName)
{
    return std::string(kProgramKey) + "\\" + siteName;
}

Registry::PathKind Registry::splitPath(const std::string& path, std::string& subKey)
{
    const std::string program = kProgramKey;
    const std::string relative = (!path.empty() && path.front() == '\\') ? path.substr(1) : path;
    if (!StartsText(relative, program))
        return PathKind::Invalid;
    if (relative.size() == program.size())
        return PathKind::Root;
    if (relative[program.size()] != '\\' || relative.size() == program.size() + 1)
        return PathKind::Invalid;
    subKey = relative.substr(program.size() + 1);
    return PathKind::SubKey;
}

bool Registry::groupExists(const QString& group) const
{
    // Only the keys under the group are looked at, not every group of the store: a damaged
    // store read for its sites may hold hundreds of thousands of them.
    m_settings->beginGroup(group);
    const bool exists = !m_settings->allKeys().isEmpty();
    m_settings->endGroup();
    return exists;
}

QString Registry::findGroup(const std::string& subKey) const
{
    // A hand-edited store may hold spellings that differ only in case: each finds its own.
    const QString exact = escapeKeyName(subKey);
    if (groupExists(exact))
        return exact;
    // A name written by hand ("50%off"), or read from a damaged file, is stored unescaped.
    const QString wanted = nameText(subKey);
    if (groupExists(wanted))
        return wanted;
    const QStringList groups = m_settings->childGroups();
    for (const QString& group : groups) {
        if (QString::compare(nameText(unescapeKeyName(group)), wanted, Qt::CaseInsensitive) == 0)
            return group;
    }
    return {};
}

bool Registry::openKey(const std::string& path, bool canCreate)
{
    closeKey();
    std::string subKey;
    switch (splitPath(path, subKey)) {
    case PathKind::Invalid:
        return false;
    case PathKind::Root:
        m_open = canCreate ? m_settings->isWritable() : !m_settings->allKeys().isEmpty();
        return m_open;
    case PathKind::SubKey:
        break;
    }
    QString group = findGroup(subKey);
    if (group.isEmpty() && canCreate && m_settings->isWritable())
        group = escapeKeyName(subKey);
    if (group.isEmpty())
        return false;
    m_group = group;
    m_open = true;
    return true;
}

void Registry::closeKey()
{
    m_settings->sync();
    m_open = false;
    m_group.clear();
}

std::vector<std::string> Registry::keyNames() const
{
    if (!m_group.isEmpty())
        m_settings->beginGroup(m_group);
    const QStringList groups = m_settings->childGroups();
    if (!m_group.isEmpty())
        m_settings->endGroup();

    // Sorted by their text, handed out as their bytes (which the text may not hold whole).
    std::vector<std::pair<QString, std::string>> names;
    for (const QString& group : groups) {
        std::string bytes = unescapeKeyName(group);
        names.emplace_back(nameText(bytes), std::move(bytes));
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        const int noCase = QString::compare(a.first, b.first, Qt::CaseInsensitive);
        return noCase != 0 ? noCase < 0 : a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    std::vector<std::string> result;
    for (auto& name : names)
        result.push_back(std::move(name.second));
    return result;
}

QString Registry::valueKey(const std::string& name) const
{
    const QString escaped = escapeKeyName(name);
    return m_group.isEmpty() ? escaped : m_group + '/' + escaped;
}

void Registry::invalidType(const std::string& name)
{
    throw ERegistryException("Invalid data type for '" + name + "'");
}

bool Registry::valueExists(const std::string& name) const
{
    return m_settings->contains(valueKey(name));
}

std::string Registry::readString(const std::string& name) const
{
    const QVariant value = m_settings->value(valueKey(name));
    if (!value.isValid())
        return {};
    if (isBinary(value))
        invalidType(name);
    if (holdsRawBytes(value))
        return value.toMap().value(QString::fromLatin1(kRawBytesEntry)).toByteArray().toStdString();
    // The INI reader turns an unquoted text with commas into a list; join it back.
    if (value.typeId() == QMetaType::QStringList)
        return nameBytes(value.toStringList().join(','));
    return nameBytes(value.toString());
}

std::int32_t Registry::readInteger(const std::string& name) const
{
    const QVariant value = m_settings->value(valueKey(name));
    if (!value.isValid() || isBinary(value))
        invalidType(name);
    bool ok = false;
    const int number = value.toString().toInt(&ok);
    if (!ok)
        invalidType(name);
    return number;
}

int Registry::readBinaryData(const std::string& name, void* buffer, int size) const
{
    const QVariant value = m_settings->value(valueKey(name));
    if (!value.isValid())
        return 0;
    if (!isBinary(value))
        invalidType(name);
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() > size)
        invalidType(name);
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return static_cast<int>(bytes.size());
}

void Registry::writeString(const std::string& name, const std::string& value)
{
    m_settings->setValue(valueKey(name), storedString(value));
}

void Registry::writeInteger(const std::string& name, std::int32_t value)
{
    m_settings->setValue(valueKey(name), static_cast<int>(value));
}

void Registry::writeBinaryData(const std::string& name, const void* buffer, int size)
{
    m_settings->setValue(valueKey(name),
                         QByteArray(static_cast<const char*>(buffer), std::max(size, 0)));
}

bool Registry::deleteKey(const std::string& path)
{
    std::string subKey;
    if (splitPath(path, subKey) != PathKind::SubKey)
        return false;
    const QString group = findGroup(subKey);
    if (group.isEmpty())
        return false;
    if (QString::compare(group, m_group, Qt::CaseSensitive) == 0) {
        m_open = false;
        m_group.clear();
    }
    m_settings->remove(group);
    m_settings->sync();
    return true;
}

bool Registry::keyExists(const std::string& path) const
{
    std::string subKey;
    switch (splitPath(path, subKey)) {
    case PathKind::Invalid:
        return false;
    case PathKind::Root:
        return !m_settings->allKeys().isEmpty();
    case PathKind::SubKey:
        break;
    }
    return !findGroup(subKey).isEmpty();
}

void Registry::clearAll()
{
    m_open = false;
    m_group.clear();
    m_settings->clear();
    m_settings->sync();
}

bool Registry::storeUnreadable() const
{
    // The settings object reads the sections of the file only when their keys are asked for,
    // and only then finds a line it cannot read.
    (void)m_settings->allKeys();
    return m_settings->status() == QSettings::FormatError;
}

QString Registry::storeFileName() const
{
    return m_settings->fileName();
}

QString Registry::escapeKeyName(const std::string& name)
{
    QString escaped;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = validUtf8Length(name, i);
        const auto byte = static_cast<unsigned char>(name[i]);
        if (length == 0)  // a byte that is no character keeps its value as %XX
            escaped += QString::asprintf("%%%02X", byte);
        else if (byte == '%')
            escaped += "%25";
        else if (byte == '/')
            escaped += "%2F";
        else if (byte == '\\')
            escaped += "%5C";
        else
            escaped += nameText(std::string_view(name).substr(i, length));
        i += std::max<std::size_t>(length, 1);
    }
    return escaped;
}

std::string Registry::unescapeKeyName(const QString& escaped)
{
    std::string name;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '%' && i + 2 < escaped.size()
            && isHexDigit(escaped[i + 1]) && isHexDigit(escaped[i + 2])) {
            const int code = escaped.mid(i + 1, 2).toInt(nullptr, 16);
            if (code == '%' || code == '/' || code == '\\' || code >= 0x80) {
                name += static_cast<char>(code);
                i += 2;
                continue;
            }
        }
        const qsizetype units = escaped[i].isHighSurrogate() && i + 1 < escaped.size() ? 2 : 1;
        name += nameBytes(escaped.mid(i, units));
        i += units - 1;
    }
    return name;
}
