// The TLS settings of one FTP session: a small copyable value, so that a session made on any
// thread can be configured from a copy of a site's settings, with no window involved.
#pragma once

#include "net/IdSSLOpenSSL.h"

#include <functional>
#include <string>

// The numbers are the values stored with a site.
enum class TIdUseTLS {
    utNoTLSSupport = 0,    // plain FTP
    utUseExplicitTLS = 1,  // AUTH TLS; plain only when the server answers it with an error
    utUseRequireTLS = 2,   // AUTH TLS or nothing
    utUseImplicitTLS = 3   // TLS from the first byte
};

// Asked when the server's certificate fails verification, before anything but AUTH TLS was
// sent: true goes on (the user trusts it), false ends the connection.
using TIdVerifyPeerEvent =
    std::function<bool(const TIdTLSCertificateInfo& certificate, const std::string& host, int port)>;

struct TIdFTPTLSSettings {
    // The port of implicit FTP over TLS when the host names none.
    static constexpr int kImplicitPort = 990;

    TIdUseTLS Mode = TIdUseTLS::utNoTLSSupport;
    // Empty: a certificate that fails verification is refused.
    TIdVerifyPeerEvent OnVerifyPeer;
    // Data connections resume the command connection's TLS session (servers may insist).
    bool ReuseSession = true;
    TIdTLSVersionRange Versions;
};
