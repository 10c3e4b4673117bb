// Helpers of the transport tests: raw loopback sockets as test partners (independent of the
// code under test), a free port, and a stack kept alive for the socket-level tests.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/IdComponent.h"
#include "support/LoopbackPorts.h"

// A raw socket closed on destruction.
class RawSocket {
public:
    RawSocket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (m_fd < 0)
            throw std::runtime_error("socket failed");
    }
    explicit RawSocket(int fd) : m_fd(fd) {}
    ~RawSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    RawSocket(RawSocket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    RawSocket& operator=(RawSocket&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }

    int fd() const { return m_fd; }

    // Binds to 127.0.0.1 and the port (0: any); false when that fails.
    bool bindLoopback(int port)
    {
        sockaddr_in address = loopback(port);
        return ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    int localPort() const
    {
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }
    void listenOn(int backlog)
    {
        if (::listen(m_fd, backlog) != 0)
            throw std::runtime_error("listen failed");
    }
    // Starts a connect to 127.0.0.1:port without waiting for it to complete.
    void connectWithoutWaiting(int port)
    {
        int flags = 1;
        ::ioctl(m_fd, FIONBIO, &flags);
        sockaddr_in address = loopback(port);
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    // Waits up to the limit until the socket is readable.
    bool readableWithin(std::chrono::milliseconds limit) const
    {
        pollfd entry{m_fd, POLLIN, 0};
        return ::poll(&entry, 1, static_cast<int>(limit.count())) == 1;
    }
    RawSocket acceptOne() const { return RawSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)); }

    static sockaddr_in loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

private:
    int m_fd;
};

// A loopback port nothing listens on: bound without listening and held for the life of the
// test process, so that no server of a test running beside it can be handed the port.
inline int unusedLoopbackPort()
{
    static std::vector<RawSocket> held;
    RawSocket probe;
    if (!probe.bindLoopback(0))
        throw std::runtime_error("no free port");
    const int port = probe.localPort();
    held.push_back(std::move(probe));
    return port;
}

// A listening raw socket on a loopback port the system chose.
inline RawSocket loopbackListener(int backlog = 8)
{
    RawSocket listener;
    if (!listener.bindLoopback(0))
        throw std::runtime_error("bind failed");
    listener.listenOn(backlog);
    return listener;
}

// Two adjacent loopback ports, the upper one held by `occupant`, the lower one free a moment ago.
inline int occupyUpperOfTwoFreePorts(RawSocket& occupant)
{
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(20000, 30000);
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int lower = pick(random);
        RawSocket probe;
        if (!probe.bindLoopback(lower))
            continue;
        RawSocket upper;
        if (upper.bindLoopback(lower + 1)) {
            occupant = std::move(upper);
            return lower;
        }
    }
    throw std::runtime_error("no two free adjacent ports");
}

// A listener whose accept queue is full: a further connect is never answered.
struct SilentListener {
    SilentListener() : listener(loopbackListener(0))
    {
        // With a queue of length 0 one waiting connection fills it; the rest stay half-open.
        for (int i = 0; i < 3; ++i) {
            fillers.emplace_back();
            fillers.back().connectWithoutWaiting(listener.localPort());
        }
        if (!listener.readableWithin(std::chrono::seconds(2)))
            throw std::runtime_error("the filler connection never arrived");
    }
    RawSocket listener;
    std::vector<RawSocket> fillers;
};

// Keeps the socket stack alive for tests that use the socket layer directly.
struct StackHolder {
    TIdComponent component;
};
