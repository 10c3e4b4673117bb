// Stored sites turned into the logins the queue's workers carry.
#include "app/window/QueueSites.h"

#include "app/window/CertificateTrust.h"
#include "ftp/IdFTP.h"
#include "model/SiteAddress.h"
#include "platform/Registry.h"
#include "sites/SitePasswords.h"

#include <QFileInfo>

#include <algorithm>

namespace {

SiteLogin loginWithoutPassword(const TSiteRecord& site)
{
    SiteLogin login;
    const SiteAddress address = splitSiteHost(site.Host);
    login.name = site.Name;
    login.host = address.host;
    login.port = address.port != 0 ? address.port : defaultSitePort(site);
    login.user = site.User;
    login.passive = site.Passive;
    login.connections = std::clamp<int>(site.Connections, 1, SiteLogin::kMaxConnections);
    login.tlsMode = static_cast<int>(site.Encryption);
    login.trustedFingerprint = trustedFingerprint(login.host, login.port);
    return login;
}

} // namespace

std::optional<SiteLogin> queueLoginOf(const TSiteRecord& site, QString& failure)
{
    const SitePassword password = readSitePassword(site);
    if (!password.found) {
        failure = password.failure;
        return std::nullopt;
    }
    SiteLogin login = loginWithoutPassword(site);
    login.password = password.password;
    return login;
}

SiteLogin queueLoginOfSession(const TSiteRecord& site, const TIdFTP& session)
{
    SiteLogin login = loginWithoutPassword(site);
    login.password = session.Password();
    login.passive = session.Passive;
    if (!session.CertificateFingerprint().empty())
        login.trustedFingerprint = session.CertificateFingerprint();
    return login;
}

TransferQueue::PasswordLookup storedSitePasswords()
{
    return [](const SiteLogin& login) -> std::optional<std::string> {
        const auto site = std::find_if(SiteList.begin(), SiteList.end(),
                                       [&](const TSiteRecord& stored) { return stored.Name == login.name; });
        if (site == SiteList.end())
            return std::nullopt;
        const SitePassword password = readSitePassword(*site);
        return password.found ? std::optional(password.password) : std::nullopt;
    };
}

QString queueStorePath()
{
    return QFileInfo(Registry().storeFileName()).absolutePath() + QStringLiteral("/TarnQueue.sqlite");
}
