// The transport of one connection, as the connection classes see it: open, connect, wait until
// readable, receive, send, close.
#pragma once

#include <cstdint>
#include <string>

#include "net/IdComponent.h"

class TIdIOHandler : public TIdComponent {
public:
    virtual void AcceptDone();
    virtual void CloseTransport();
    // host, port, time-out in ms (-1 or 0: the default), the local port range (highest,
    // lowest), the local port and the local address to bind to (empty: any).
    virtual void ConnectTo(const std::string& host, int port, int timeout = -1, int clientPortMax = 0,
                           int clientPortMin = 0, int localPort = 0,
                           const std::string& bindAddress = std::string());
    virtual bool IsOpen() const;
    virtual void OpenTransport();
    // Time-out in ms, -2 for no limit.
    virtual bool WaitReadable(int timeout) = 0;
    // Answer the count the socket layer gives: bytes, 0 at the end of the stream, -1 on
    // failure (the caller checks it with SocketStack->CheckResult).
    virtual std::int64_t ReceiveBytes(void* buffer, std::int64_t length) = 0;
    virtual std::int64_t SendBytes(const void* buffer, std::int64_t length) = 0;
    // SendBytes that waits at most `timeout` ms (-2: no limit) for room to send, then raises
    // EIdWriteTimeout: a peer that stops reading must not hold the connection for good.
    virtual std::int64_t SendBytesWithin(const void* buffer, std::int64_t length, int timeout);

protected:
    bool m_open = false;
};
