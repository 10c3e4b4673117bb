// The transfer queue's view of the stored sites: the login a stored site gives the queue's
// sessions, and the passwords of sites whose items came back from the stored queue.
#pragma once

#include "queue/TransferQueue.h"
#include "sites/SiteUnit.h"

#include <QString>

class TIdFTP;

#include <optional>

// The login of `site` with its password (host, port, user, passive flag, parallel transfers,
// encryption and the certificate trusted for its address). Nothing, with the reason in
// `failure`, when the password cannot be read. Window thread only (it may wait for the keyring).
std::optional<SiteLogin> queueLoginOf(const TSiteRecord& site, QString& failure);
// The login of `site` for workers beside the window's session connected to it: the password
// and mode the session used, and the certificate it accepted (also one trusted this time only).
SiteLogin queueLoginOfSession(const TSiteRecord& site, const TIdFTP& session);

// Looks the password of a restored item's site up by the site's name in the site list.
TransferQueue::PasswordLookup storedSitePasswords();

// The stored queue: beside the settings file, in the settings folder.
QString queueStorePath();
