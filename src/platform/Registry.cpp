// The per-user registry over QSettings: path handling, case-insensitive key lookup, key-name
// escaping and typed values.
#include "platform/Registry.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i]))
            != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

QString toText(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text)
{
    return text.toUtf8().toStdString();
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
    if (!startsWithNoCase(relative, program))
        return PathKind::Invalid;
    if (relative.size() == program.size())
        return PathKind::Root;
    if (relative[program.size()] != '\\' || relative.size() == program.size() + 1)
        return PathKind::Invalid;
    subKey = relative.substr(program.size() + 1);
    return PathKind::SubKey;
}

QString Registry::findGroup(const std::string& subKey) const
{
    const QString wanted = toText(subKey);
    const QStringList groups = m_settings->childGroups();
    // A hand-edited store may hold spellings that differ only in case: each finds its own.
    const QString exact = escapeKeyName(subKey);
    if (groups.contains(exact))
        return exact;
    for (const QString& group : groups) {
        if (QString::compare(toText(unescapeKeyName(group)), wanted, Qt::CaseInsensitive) == 0)
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

    std::vector<QString> names;
    for (const QString& group : groups)
        names.push_back(toText(unescapeKeyName(group)));
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int noCase = QString::compare(a, b, Qt::CaseInsensitive);
        return noCase != 0 ? noCase < 0 : a < b;
    });
    std::vector<std::string> result;
    for (const QString& name : names)
        result.push_back(toBytes(name));
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
    // The INI reader turns an unquoted text with commas into a list; join it back.
    if (value.typeId() == QMetaType::QStringList)
        return toBytes(value.toStringList().join(','));
    return toBytes(value.toString());
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
    m_settings->setValue(valueKey(name), toText(value));
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
    for (const QChar c : toText(name)) {
        if (c == '%')
            escaped += "%25";
        else if (c == '/')
            escaped += "%2F";
        else if (c == '\\')
            escaped += "%5C";
        else
            escaped += c;
    }
    return escaped;
}

std::string Registry::unescapeKeyName(const QString& escaped)
{
    QString name;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QString code = escaped.mid(i + 1, 2).toUpper();
        if (escaped[i] == '%' && (code == "25" || code == "2F" || code == "5C")) {
            name += QChar(code.toInt(nullptr, 16));
            i += 2;
        } else {
            name += escaped[i];
        }
    }
    return toBytes(name);
}
