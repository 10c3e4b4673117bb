// Certificates the user trusted, kept in the settings store as one root value per host and
// port ("TrustedCertificate ftp.example.org:990" = SHA-256 fingerprint): root values never
// meet a site's key, whatever the site is called.
#include "app/window/CertificateTrust.h"

#include "ftp/IdFTP.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"
#include "platform/Registry.h"

namespace {

std::string serverText(const std::string& host, int port)
{
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string trustValueName(const std::string& host, int port)
{
    return "TrustedCertificate " + serverText(host, port);
}

void storeTrustedFingerprint(const std::string& host, int port, const std::string& fingerprint)
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, true))
        return;
    registry.writeString(trustValueName(host, port), fingerprint);
    registry.closeKey();
}

} // namespace

std::string trustedFingerprint(const std::string& host, int port)
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, false))
        return {};
    try {
        return registry.readString(trustValueName(host, port));
    } catch (const ERegistryException&) {
        return {};
    }
}

bool trustCertificate(const TIdTLSCertificateInfo& certificate, const std::string& host, int port)
{
    const std::string trusted = trustedFingerprint(host, port);
    if (!trusted.empty() && trusted == certificate.Fingerprint)
        return true;
    const CertificateQuestion question{
        nameText(serverText(host, port)), nameText(certificate.Subject),
        nameText(certificate.Issuer),     nameText(certificate.ValidFrom),
        nameText(certificate.ValidUntil), nameText(certificate.Fingerprint),
        nameText(certificate.Reason),     nameText(trusted)};
    switch (dialogs().askCertificate(question)) {
    case CertificateAnswer::TrustAlways:
        storeTrustedFingerprint(host, port, certificate.Fingerprint);
        return true;
    case CertificateAnswer::TrustThisTime:
        return true;
    case CertificateAnswer::Cancel:
        break;
    }
    return false;
}

TIdFTPTLSSettings siteTLSSettings(const TSiteRecord& site)
{
    TIdFTPTLSSettings settings;
    settings.Mode = static_cast<TIdUseTLS>(site.Encryption);
    settings.OnVerifyPeer = &trustCertificate;
    return settings;
}

int defaultSitePort(const TSiteRecord& site)
{
    return site.Encryption == TSiteEncryption::RequireImplicit ? TIdFTPTLSSettings::kImplicitPort
                                                               : TIdFTP::kDefaultPort;
}
