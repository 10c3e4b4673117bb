// Keeping a damaged settings file aside and rewriting the store from what could be read of it.
#include "app/window/SettingsRescue.h"

#include "model/SettingsRecord.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "sites/SiteUnit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

// "Tarn.conf.damaged-20261209-013000"; a second damage within the same second gets its own copy.
QString freeCopyName(const QString& file)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = file + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(name); ++n)
        name = file + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(n);
    return name;
}

bool sameBytes(const QString& first, const QString& second)
{
    constexpr qint64 kChunk = 1 << 20;
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd()) {
        if (a.read(kChunk) != b.read(kChunk))
            return false;
    }
    return true;
}

// The copy an earlier start already kept of these very bytes (it was ended before it could
// rewrite the store), or empty: a damaged file is kept once, not once per start.
QString keptCopy(const QString& file)
{
    const QFileInfo info(file);
    const QDir folder = info.dir();
    const QStringList copies =
        folder.entryList({info.fileName() + QStringLiteral(".damaged-*")}, QDir::Files, QDir::Name);
    for (const QString& name : copies) {
        if (sameBytes(file, folder.filePath(name)))
            return folder.filePath(name);
    }
    return {};
}

// The window settings record, when the damaged file still holds a well-formed one.
std::optional<TarnSettingsBytes> readableSettings(Registry& registry)
{
    TarnSettingsBytes bytes{};
    try {
        if (registry.openKey(Registry::kProgramKey, false) && registry.valueExists(kTarnSettingsValue)
            && registry.readBinaryData(kTarnSettingsValue, bytes.data(), int(bytes.size())) > 0) {
            registry.closeKey();
            return bytes;
        }
    } catch (const ERegistryException&) {
    }
    registry.closeKey();
    return std::nullopt;
}

void writeSettingsRecord(const TarnSettingsBytes& bytes)
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, true))
        return;
    registry.writeBinaryData(kTarnSettingsValue, bytes.data(), int(bytes.size()));
    registry.closeKey();
}

// The store from now on holds only the sites and the settings that could be read.
void rewriteReadableParts(Registry& registry)
{
    LoadSiteList();
    const std::optional<TarnSettingsBytes> settings = readableSettings(registry);
    registry.clearAll();
    CurrentSite = 0;
    SaveSiteList();
    if (settings)
        writeSettingsRecord(*settings);
}

} // namespace

bool rescueDamagedSettings()
{
    Registry registry;
    if (!registry.storeUnreadable())
        return false;
    const QString file = registry.storeFileName();
    const QString kept = keptCopy(file);
    const QString copy = kept.isEmpty() ? freeCopyName(file) : kept;
    if (kept.isEmpty() && !QFile::copy(file, copy)) {
        // Without a copy the file is left as it is: the user may still rescue it by hand.
        dialogs().messageBox(QStringLiteral("The settings file %1 is damaged and could not be copied "
                                            "aside. Sites that could not be read are not shown.")
                                 .arg(file),
                             MsgIcon::Warning, {MsgButton::Ok});
        return true;
    }
    rewriteReadableParts(registry);
    dialogs().messageBox(QStringLiteral("The settings file %1 was damaged. It has been kept as %2.\n"
                                        "Sites that could be read: %3.")
                             .arg(file, copy)
                             .arg(SiteCount),
                         MsgIcon::Warning, {MsgButton::Ok});
    return true;
}
