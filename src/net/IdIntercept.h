// A hook object attached to a connection that sees every block received or sent; intercepts
// nest, the nested one being nearer the socket.
#pragma once

#include <functional>
#include <string>

#include "net/IdBaseComponent.h"

class TIdComponent;
class TIdConnectionIntercept;

using TIdInterceptNotifyEvent = std::function<void(TIdConnectionIntercept* ASender)>;
using TIdInterceptStreamEvent = std::function<void(TIdConnectionIntercept* ASender, std::string& AStream)>;

class TIdConnectionIntercept : public TIdBaseComponent {
public:
    TIdConnectionIntercept() = default;
    ~TIdConnectionIntercept() override;

    virtual void PassConnect(TIdComponent* connection);
    virtual void PassDisconnect();
    virtual void PassReceive(std::string& block);
    virtual void PassSend(std::string& block);
    // Called by the connection: after the connect, on the drop, with each block read from the
    // socket (before buffering), and with each block about to be written (which the
    // intercept may change: what is sent is the block afterwards).
    virtual void HandleConnect(TIdComponent* connection);
    virtual void HandleDisconnect();
    virtual void HandleReceive(std::string& block);
    virtual void HandleSend(std::string& block);

    // The nested intercept (not owned; cleared when it is destroyed).
    TIdConnectionIntercept* Intercept() const { return m_intercept; }
    void SetIntercept(TIdConnectionIntercept* intercept);
    // The connection it is attached to, between HandleConnect and HandleDisconnect.
    TIdComponent* Connection() const { return m_connection; }

    TIdInterceptNotifyEvent OnConnect;
    TIdInterceptNotifyEvent OnDisconnect;
    TIdInterceptStreamEvent OnReceive;
    TIdInterceptStreamEvent OnSend;

private:
    TIdComponent* m_connection = nullptr;
    TIdConnectionIntercept* m_intercept = nullptr;
    TIdConnectionIntercept* m_outer = nullptr;
};
