// Loopback ports for tests.
#include "support/LoopbackPorts.h"

#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <vector>

std::uint16_t closedLoopbackPort()
{
    // Bound without listening, and held for the life of the test process: the port refuses
    // connections, and no server of a test running beside this one can be handed it.
    static std::vector<UniqueFd> held;
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    held.push_back(std::move(fd));
    return ntohs(address.sin_port);
}

bool ipv6LoopbackAvailable()
{
    UniqueFd fd(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0)
        return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    return ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}
