// The active-mode data listener: listens on a local port, accepts the one connection the
// FTP server makes to it, and from then on is an ordinary connection over that socket.
#pragma once

#include "ftp/IdTCPConnection.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"

#include <functional>
#include <memory>
#include <string>

TARN_ID_EXCEPTION_TEXT(EIdAcceptTimeout, EIdException,
                       "The server did not open the data connection in time.");

class TIdSimpleServer : public TIdTCPConnection {
public:
    static constexpr int kListenQueue = 15;

    TIdSimpleServer();
    ~TIdSimpleServer() override;

    std::string BoundIP;     // local address to listen on; empty: any
    int BoundPort = 0;       // 0: the system picks a port
    int AcceptSlice = 1000;  // ms per readability wait while accepting
    // The overall wait for the connection in ms; -2 waits until one comes or a stop is asked.
    int AcceptTimeout = kNoTimeout;
    // When set, only a connection from this address is taken; any other is closed and the
    // wait goes on (a stranger must not be able to feed or take the transfer's data).
    std::string AllowedPeerIP;
    // Makes the transport of the accepted connection (a TLS one for protected data); empty:
    // a plain socket handler.
    std::function<std::unique_ptr<TIdIOHandlerSocket>()> MakeHandler;

    bool StopRequested() const { return m_stopRequested; }
    bool IsListening() const { return m_isListening; }
    // The listening socket (its IP and Port are what PORT announces); null before listening.
    const TIdSocketHandle* ListenBinding() const { return m_listener.get(); }
    int ListenSocket() const;

    void RequestStop() { m_stopRequested = true; }
    void StartListening();
    void BindListener();
    // Waits for the connection; true when one was accepted.
    bool AcceptOne();

    void ResetInput() override;
    // Also closes the listening socket, which ends a wait in AcceptOne.
    void DropSocket() override;

private:
    bool takeConnection(TIdSocketHandle& binding);
    void closeListener();

    std::unique_ptr<TIdSocketHandle> m_listener;
    bool m_stopRequested = false;
    bool m_isListening = false;
    // The socket handle of the connection's transport: data flows through it after accepting.
    TIdSocketHandle* binding() const;
};
