// A site's Host as the session takes it: "ftp.example.org" or "ftp.example.org:2121".
#pragma once

#include <string>

struct SiteAddress {
    std::string host;
    int port = 0;   // 0: the session's default port
};

// A decimal port (1 to 65535) after the last colon splits off; a Host without one, or with
// more than one colon and no brackets (a bare IPv6 literal), is taken whole. "[::1]:2121"
// gives "::1" and 2121.
[[nodiscard]] SiteAddress splitSiteHost(const std::string& host);
