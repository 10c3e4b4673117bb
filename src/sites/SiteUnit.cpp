// The site store: loading, saving and deleting sites in the registry, and the password
// scrambling shared with the site files.
#include "sites/SiteUnit.h"

#include "platform/Dialogs.h"
#include "platform/NameText.h"
#include "platform/Registry.h"
#include "sites/SitePasswords.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <random>

std::vector<TSiteRecord> SiteList;
std::int32_t SiteCount = 0;
std::int32_t CurrentSite = 0;

namespace {

// Not seeded from the clock: every run draws the same filler, and nothing depends on it.
std::mt19937& fillerSource()
{
    static std::mt19937 source;
    return source;
}

int Random(int n)
{
    return std::uniform_int_distribution<int>(0, n - 1)(fillerSource());
}

// A value of the wrong type must not cost the user the whole site list.
std::string readStringOrEmpty(const Registry& registry, const std::string& name)
{
    try {
        return registry.readString(name);
    } catch (const ERegistryException&) {
        return {};
    }
}

// A missing value, or one of the wrong type, reads as `fallback`.
std::int32_t readIntegerOr(const Registry& registry, const char* name, std::int32_t fallback)
{
    if (!registry.valueExists(name))
        return fallback;
    try {
        return registry.readInteger(name);
    } catch (const ERegistryException&) {
        return fallback;
    }
}

TSiteEncryption readEncryption(const Registry& registry)
{
    const std::int32_t value = readIntegerOr(registry, "TLS", 0);
    if (value < 0 || value > static_cast<std::int32_t>(TSiteEncryption::RequireImplicit))
        return TSiteEncryption::Plain;
    return static_cast<TSiteEncryption>(value);
}

// A count outside 1 to 10 (a hand-edited file) reads as the default.
std::int32_t readConnections(const Registry& registry)
{
    const std::int32_t value = readIntegerOr(registry, "Connections", TSiteRecord::kDefaultConnections);
    return value >= 1 && value <= TSiteRecord::kMaxConnections ? value : TSiteRecord::kDefaultConnections;
}

constexpr const char* kSiteValues[] = {"Host", "User", "PW", "RDir", "LDir", "PASV"};

// A key holding none of a site's values was not written as a site (a damaged settings file
// yields such keys): it is no site, so the site box and the site commands never meet it.
bool holdsSiteValues(const Registry& registry)
{
    return std::any_of(std::begin(kSiteValues), std::end(kSiteValues),
                       [&](const char* value) { return registry.valueExists(value); });
}

std::optional<TSiteRecord> readSite(const std::string& name)
{
    TSiteRecord site;
    site.Name = name;
    Registry registry;
    if (!registry.openKey(Registry::siteKeyPath(name), false) || !holdsSiteValues(registry))
        return std::nullopt;
    site.Host = readStringOrEmpty(registry, "Host");
    site.User = readStringOrEmpty(registry, "User");
    site.Pass = readStringOrEmpty(registry, "PW");
    site.RDir = readStringOrEmpty(registry, "RDir");
    site.LDir = readStringOrEmpty(registry, "LDir");
    site.Passive = readIntegerOr(registry, "PASV", 0) != 0;
    site.Encryption = readEncryption(registry);
    site.PassEntry = readStringOrEmpty(registry, "PWKeyring");
    site.KeepPass = readIntegerOr(registry, "KeepPW", 0) != 0;
    site.Connections = readConnections(registry);
    registry.closeKey();
    return site;
}

void writeSite(const TSiteRecord& site)
{
    Registry registry;
    if (!registry.openKey(Registry::siteKeyPath(site.Name), true)) {
        dialogs().showMessage(nameText("Error opening registry key " + Registry::siteKeyPath(site.Name)));
        return;
    }
    registry.writeString("Host", site.Host);
    registry.writeString("User", site.User);
    registry.writeString("PW", site.Pass);
    registry.writeString("RDir", site.RDir);
    registry.writeString("LDir", site.LDir);
    registry.writeInteger("PASV", site.Passive ? 1 : 0);
    registry.writeInteger("TLS", static_cast<std::int32_t>(site.Encryption));
    registry.writeString("PWKeyring", site.PassEntry);
    registry.writeInteger("KeepPW", site.KeepPass ? 1 : 0);
    registry.writeInteger("Connections", site.Connections);
    registry.closeKey();
}

void rotateRight(std::string& digits)
{
    digits.insert(digits.begin(), digits.back());
    digits.pop_back();
}

}  // namespace

bool isSiteIndex(std::int32_t index)
{
    return index >= 0 && index < SiteCount;
}

void LoadSiteList()
{
    SiteCount = 0;
    SiteList.clear();
    // Kept for the whole load: the registries that read each site share the file this one has
    // read, where each would otherwise read it again (a large damaged file once per key).
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, false))
        return;
    const std::vector<std::string> names = registry.keyNames();
    registry.closeKey();
    for (const std::string& name : names) {
        if (std::optional<TSiteRecord> site = readSite(name))
            SiteList.push_back(std::move(*site));
    }
    SiteCount = static_cast<std::int32_t>(SiteList.size());
}

void SaveSiteList()
{
    if (SiteCount == 0)
        return;
    std::vector<std::string> entriesBefore;
    for (const TSiteRecord& site : SiteList)
        entriesBefore.push_back(site.PassEntry);
    lastPasswordFallback() = placeSitePasswords(SiteList);
    for (const TSiteRecord& site : SiteList)
        writeSite(site);
    const bool currentValid = isSiteIndex(CurrentSite);
    const std::string currentName = currentValid ? SiteList[CurrentSite].Name : std::string();
    LoadSiteList();
    CurrentSite = 0;
    for (std::int32_t i = 0; i < SiteCount; ++i) {
        if (SiteList[i].Name == currentName) {
            CurrentSite = i;
            break;
        }
    }
    // A keyring that failed a write would only make each removal wait for nothing.
    if (lastPasswordFallback().isEmpty())
        removeUnusedEntries(entriesBefore, SiteList);
}

void DeleteSiteKey(const std::string& name)
{
    Registry registry;
    registry.deleteKey(Registry::siteKeyPath(name));
}

void DeleteCurrentSite()
{
    if (!isSiteIndex(CurrentSite))
        return;
    const TSiteRecord site = SiteList[CurrentSite];
    const QString failure = removeSitePassword(site);
    if (!failure.isEmpty())
        dialogs().showMessage(QStringLiteral("The password of site %1 could not be removed from the desktop keyring (%2).")
                                  .arg(QString::fromUtf8(site.Name.c_str()), failure));
    DeleteSiteKey(site.Name);
    SiteList.erase(SiteList.begin() + CurrentSite);
    SiteCount = static_cast<std::int32_t>(SiteList.size());
    if (CurrentSite > 0)
        --CurrentSite;
}

std::string PickFiller(const std::string& characters, int count)
{
    std::string pool = characters;
    std::string result;
    for (int i = 0; i < count && !pool.empty(); ++i) {
        const auto at = static_cast<std::size_t>(Random(static_cast<int>(pool.size())));
        result += pool[at];
        pool.erase(at, 1);
    }
    return result;
}

std::string EncodePassword(const std::string& plain)
{
    std::string filler;
    for (const char c : PasswordAlphabet) {
        if (PasswordKey.find(c) == std::string_view::npos)
            filler += c;
    }
    std::string digits(PasswordKey);
    std::string body;
    for (const char c : plain) {
        const auto b = static_cast<unsigned char>(c);
        body += digits[b % 16];
        rotateRight(digits);
        body += digits[b / 16];
        rotateRight(digits);
    }
    std::string result = PickFiller(filler, 1 + Random(5));
    for (const char c : body) {
        result += c;
        result += PickFiller(filler, Random(5));
    }
    return result;
}

std::string DecodePassword(const std::string& scrambled)
{
    const std::string undecodable(1, '\x01');
    std::string kept;
    for (const char c : scrambled) {
        if (PasswordKey.find(c) != std::string_view::npos)
            kept += c;
    }
    if (kept.size() % 2 != 0)
        return undecodable;
    std::string digits(PasswordKey);
    std::string out;
    for (std::size_t i = 0; i < kept.size(); i += 2) {
        const auto lo = digits.find(kept[i]);
        rotateRight(digits);
        const auto hi = digits.find(kept[i + 1]);
        rotateRight(digits);
        out += static_cast<char>(lo + 16 * hi);
    }
    return out;
}
