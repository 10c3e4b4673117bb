// The site store: the stored FTP sites in memory and in the per-user registry, and the
// reversible scrambling that keeps site passwords out of plain sight.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How a site's session is encrypted; the numbers are the stored values (registry value "TLS").
enum class TSiteEncryption : std::int32_t {
    Plain = 0,
    ExplicitIfAvailable = 1,
    RequireExplicit = 2,
    RequireImplicit = 3
};

// One stored FTP site. Pass is held scrambled (EncodePassword); strings are byte strings.
// A password in the desktop keyring leaves Pass empty and PassEntry naming its entry; a
// scrambled Pass beside an empty PassEntry is the settings file's (or one waiting for the
// next save to move it into the keyring, unless KeepPass keeps it there for unattended runs).
struct TSiteRecord {
    std::string Name;
    std::string Host;
    std::string User;
    std::string Pass;
    std::string RDir;
    std::string LDir;
    bool Passive = false;
    // Sites stored before encryption was offered, and imported ones, are plain.
    TSiteEncryption Encryption = TSiteEncryption::Plain;
    std::string PassEntry{};   // "PWKeyring"
    bool KeepPass = false;   // "KeepPW"
    // How many sessions the transfer queue opens to the site at once ("Connections"); sites
    // stored before the queue, and imported ones, get the default.
    std::int32_t Connections = kDefaultConnections;

    static constexpr std::int32_t kDefaultConnections = 2;
    static constexpr std::int32_t kMaxConnections = 10;

    bool operator==(const TSiteRecord&) const = default;
};

// Module state, read and written directly by the main window. SiteCount always equals
// SiteList.size() after every operation below.
extern std::vector<TSiteRecord> SiteList;
extern std::int32_t SiteCount;
extern std::int32_t CurrentSite;

// Whether `index` names a site of SiteList: an index kept from before (the settings record, an
// upload run that waited in the pump) may point past a list that has shrunk since.
bool isSiteIndex(std::int32_t index);

inline constexpr std::string_view PasswordAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";
// 16 distinct characters of PasswordAlphabet: the scrambled text keeps only these, the rest
// of the alphabet is filler.
inline constexpr std::string_view PasswordKey = "Qe7TzpXw2Rb9NmKc";

// Replaces SiteList and SiteCount with the sites in the registry, in the registry's order.
// A value stored with the wrong type reads as empty (or false for "PASV"); a key holding none
// of a site's values is not a site.
void LoadSiteList();
// Writes every site, reloads, and points CurrentSite at the reloaded current site (0 when it
// cannot be found again). A key that cannot be opened is reported and the rest still written.
// Passwords move into the desktop keyring first (see placeSitePasswords), and keyring entries
// no site names any longer are removed; both wait for the keyring, handling events.
void SaveSiteList();
// Removes the site's registry key with its values; a missing key is not an error.
void DeleteSiteKey(const std::string& name);
// Removes the current site from the registry, the keyring and the list; the site before it
// becomes current. Does nothing while the list is empty or CurrentSite points outside it.
void DeleteCurrentSite();

std::string EncodePassword(const std::string& plain);
// Answers the one-character string "\x01" when the text cannot be decoded.
std::string DecodePassword(const std::string& scrambled);
// `count` different characters drawn at random from `characters` (fewer when it runs out).
std::string PickFiller(const std::string& characters, int count);
