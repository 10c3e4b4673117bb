// The TLS settings a stored site gives its sessions, and the certificate decision: the
// system's store first, then the fingerprints the user trusted per host and port, then the
// certificate box.
#pragma once

#include "ftp/IdFTPTLS.h"
#include "sites/SiteUnit.h"

#include <string>

// The settings value for a session to `site` (any thread may copy it; the decision it carries
// asks through the installed dialogs, so only the window's thread may use it).
TIdFTPTLSSettings siteTLSSettings(const TSiteRecord& site);
// The port a site's session uses when its host names none.
int defaultSitePort(const TSiteRecord& site);
// Whether the session may go on with a certificate that failed verification: it was trusted
// always before, or the user trusts it now.
// The fingerprint the user trusted always for host and port; empty when none.
std::string trustedFingerprint(const std::string& host, int port);
bool trustCertificate(const TIdTLSCertificateInfo& certificate, const std::string& host, int port);