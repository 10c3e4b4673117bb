// Site passwords between the settings file and the desktop keyring.
#include "sites/SitePasswords.h"

#include <set>

namespace {

QString textOf(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

PasswordReply writeEntry(const QString& entry, const std::string& password)
{
    return awaitPasswordReply([&](PasswordCallback done) { passwordStore().write(entry, password, std::move(done)); });
}

PasswordReply removeEntry(const QString& entry)
{
    return awaitPasswordReply([&](PasswordCallback done) { passwordStore().remove(entry, std::move(done)); });
}

} // namespace

QString keyringEntryName(const TSiteRecord& site)
{
    return QStringLiteral("Tarn: %1 (%2@%3)").arg(textOf(site.Name), textOf(site.User), textOf(site.Host));
}

QString passwordFailureText(const TSiteRecord& site, const PasswordReply& reply)
{
    const QString name = textOf(site.Name);
    if (reply.result == PasswordResult::NotFound)
        return QStringLiteral("Site %1: its password is missing from the desktop keyring. "
                              "Enter it again in the site editor.").arg(name);
    return QStringLiteral("Site %1: its password is in the desktop keyring, which this run cannot reach (%2). "
                          "To keep a password for unattended runs, tick \"Keep the password in the settings "
                          "file for unattended runs\" in the site editor.").arg(name, reply.detail);
}

SitePassword readSitePassword(const TSiteRecord& site)
{
    if (site.PassEntry.empty())
        return {true, DecodePassword(site.Pass), {}};
    const QString entry = textOf(site.PassEntry);
    const PasswordReply reply =
        awaitPasswordReply([&](PasswordCallback done) { passwordStore().read(entry, std::move(done)); });
    if (reply.result == PasswordResult::Done)
        return {true, reply.password, {}};
    if (reply.result == PasswordResult::Unreachable && !site.Pass.empty())
        return {true, DecodePassword(site.Pass), {}};
    return {false, {}, passwordFailureText(site, reply)};
}

QString placeSitePasswords(std::vector<TSiteRecord>& sites)
{
    QString failure;
    for (TSiteRecord& site : sites) {
        // Nothing waits to move: the password is in the keyring already, or there is none.
        if (site.Pass.empty())
            continue;
        if (!site.KeepPass && failure.isEmpty()) {
            const QString entry = keyringEntryName(site);
            const PasswordReply reply = writeEntry(entry, DecodePassword(site.Pass));
            if (reply.result == PasswordResult::Done) {
                site.PassEntry = entry.toStdString();
                site.Pass.clear();
                continue;
            }
            failure = reply.detail;
        }
        // The scrambled password is the one to use now; an entry it replaces is removed later.
        site.PassEntry.clear();
    }
    return failure;
}

void removeUnusedEntries(const std::vector<std::string>& before, const std::vector<TSiteRecord>& after)
{
    std::set<std::string> used;
    for (const TSiteRecord& site : after)
        used.insert(site.PassEntry);
    for (const std::string& entry : std::set<std::string>(before.begin(), before.end())) {
        if (entry.empty() || used.count(entry) != 0)
            continue;
        if (removeEntry(textOf(entry)).result != PasswordResult::Done)
            return;
    }
}

QString removeSitePassword(const TSiteRecord& site)
{
    if (site.PassEntry.empty())
        return {};
    const PasswordReply reply = removeEntry(textOf(site.PassEntry));
    return reply.result == PasswordResult::Done ? QString() : reply.detail;
}

bool scrambleKeyringPasswords(std::vector<TSiteRecord>& sites, QString& failure)
{
    for (TSiteRecord& site : sites) {
        if (site.PassEntry.empty())
            continue;
        const SitePassword password = readSitePassword(site);
        if (!password.found) {
            failure = password.failure;
            return false;
        }
        site.Pass = EncodePassword(password.password);
    }
    return true;
}

QString& lastPasswordFallback()
{
    static QString reason;
    return reason;
}
