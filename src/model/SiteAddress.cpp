// Splitting a site's Host into host name and port.
#include "model/SiteAddress.h"

#include <algorithm>

namespace {

int portNumber(const std::string& digits)
{
    if (digits.empty() || digits.size() > 5
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const int port = std::stoi(digits);
    return port >= 1 && port <= 65535 ? port : 0;
}

} // namespace

SiteAddress splitSiteHost(const std::string& host)
{
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close != std::string::npos) {
            const std::string rest = host.substr(close + 1);
            const int port = rest.size() > 1 && rest.front() == ':' ? portNumber(rest.substr(1)) : 0;
            if (rest.empty() || port != 0)
                return {host.substr(1, close - 1), port};
        }
        return {host, 0};
    }
    const std::size_t colon = host.rfind(':');
    if (colon == std::string::npos || host.find(':') != colon)
        return {host, 0};
    const int port = portNumber(host.substr(colon + 1));
    if (port == 0)
        return {host, 0};
    return {host.substr(0, colon), port};
}
