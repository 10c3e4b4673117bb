// The client side of a TCP connection.
#include "ftp/IdTCPClient.h"

#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdIntercept.h"

void TIdTCPClient::DoOnConnected()
{
    fireEvent(OnConnected, this);
}

void TIdTCPClient::OpenConnection(int timeout)
{
    // The connect pumps: a handler that an event closes meanwhile must outlive the connect.
    BusyScope busy(*this);
    if (IOHandler() == nullptr) {
        auto handler = std::make_unique<TIdIOHandlerSocket>();
        handler->OnStatus = OnStatus;
        adoptIOHandler(std::move(handler));
    } else if (IOHandler()->IsOpen()) {
        throw EIdAlreadyConnected("Already connected.");
    }
    try {
        IOHandler()->OpenTransport();
        ResetInput();
        IOHandler()->ConnectTo(Host, Port, timeout, BoundPortMax, BoundPortMin, BoundPort, BoundIP);
        if (Intercept() != nullptr)
            Intercept()->HandleConnect(this);
        ReportStatus(TIdStatus::stConnected, Host);
        DoOnConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}
