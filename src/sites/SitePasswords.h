// Where each site's password is kept: in the desktop keyring, under an entry the site names,
// or scrambled in the settings file's "PW"; reading it from there, moving it into the keyring
// when sites are saved, and removing entries no site names any longer.
#pragma once

#include "platform/PasswordStore.h"
#include "sites/SiteUnit.h"

#include <QString>

#include <string>
#include <vector>

// A site's plain password, or why it cannot be had (a text naming the site, for a message).
struct SitePassword {
    bool found = false;
    std::string password;
    QString failure;
};

// "Tarn: NAME (USER@HOST)": how the keyring's own manager shows the site's entry.
QString keyringEntryName(const TSiteRecord& site);

// The plain password of `site`, from its keyring entry or from "PW". The keyring is given at
// most passwordWaitLimit(), with events handled meanwhile; when it cannot be reached, a
// password still in "PW" is used. Call on the window thread, before handing the password on.
SitePassword readSitePassword(const TSiteRecord& site);
// The message for a keyring reply about `site` that brought no password.
QString passwordFailureText(const TSiteRecord& site, const PasswordReply& reply);

// Moves every password waiting scrambled in Pass into the keyring, unless its site keeps it in
// the settings file. After the first failure the keyring is not asked again and the passwords
// stay scrambled. Answers that failure's reason, or an empty text when none stayed behind.
QString placeSitePasswords(std::vector<TSiteRecord>& sites);
// Removes the keyring entries named in `before` that no site of `after` names; stops at the
// first failure.
void removeUnusedEntries(const std::vector<std::string>& before, const std::vector<TSiteRecord>& after);
// Removes the site's keyring entry, if it has one. Answers the failure's reason, or empty.
QString removeSitePassword(const TSiteRecord& site);
// Puts the scrambled password into Pass of every site whose password is in the keyring, as a
// site file carries it. False, with the first failure's text, when one cannot be read.
bool scrambleKeyringPasswords(std::vector<TSiteRecord>& sites, QString& failure);

// Why the last SaveSiteList left passwords in the settings file for want of a keyring; empty
// when it left none there.
QString& lastPasswordFallback();
