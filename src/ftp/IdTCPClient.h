// The client side of a TCP connection: connects to Host:Port.
#pragma once

#include "ftp/IdTCPConnection.h"

#include <string>

class TIdTCPClient : public TIdTCPConnection {
public:
    TIdTCPClient() = default;

    std::string BoundIP;   // local address to bind to; empty: any
    int BoundPort = 0;     // local port; 0: any
    std::string Host;
    int Port = 0;
    TNotifyEvent OnConnected;

    // Local port range to bind in (0, 0: no range).
    int BoundPortMin = 0;
    int BoundPortMax = 0;

    const std::string& Username() const { return m_username; }
    void SetUsername(const std::string& username) { m_username = username; }
    const std::string& Password() const { return m_password; }
    void SetPassword(const std::string& password) { m_password = password; }

    virtual void SetHost(const std::string& host) { Host = host; }
    virtual void SetPort(int port) { Port = port; }
    virtual void DoOnConnected();
    // Connects Host:Port (time-out in ms, -1 the default). "Already connected." when open;
    // a failure leaves the socket dropped and the object reusable.
    virtual void OpenConnection(int timeout = -1);

private:
    std::string m_username;
    std::string m_password;
};
