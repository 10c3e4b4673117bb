// One IPv4 or IPv6 socket with its local and peer address: bind (also within a port range), connect,
// listen, accept, send, receive, and a readability wait that keeps the window alive.
#pragma once

#include <cstdint>
#include <string>
#include <sys/socket.h>

#include "net/IdStack.h"

class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Copies IP, Port, the peer address and the peer port (not the socket).
    void Assign(const TIdSocketHandle& source);

    // Closes any socket the handle holds and opens a new one (SOCK_STREAM, protocol 0 for TCP)
    // of the family (AF_INET or AF_INET6).
    void AllocateHandle(int socketType, int protocol = 0, int family = AF_INET);
    // Binds to IP and Port, or, with Port 0 and a range, to the highest free port of
    // ClientPortMin..ClientPortMax; IP and Port then hold the actual binding.
    void BindLocal();
    void SetPeerAddress(const std::string& address, int port);
    // Connects to the peer; answers the call's result (-1 on failure), which the caller checks.
    int ConnectPeer(int family);
    // Reads the local and the peer binding of a socket connected elsewhere (the connect thread).
    void ReadConnectedBinding();
    void StartListen(int queueLength);
    // Takes over a connection waiting on the listening socket; false when none was taken.
    bool AcceptFrom(TIdStackSocketHandle listener);
    // true when data, a connection or the end of the stream is waiting within the time-out
    // (ms; -2: no limit). With the pump allowed, waits in slices and pumps between them.
    bool SelectReadable(int timeout);
    // Answer the call's result unchecked (-1 on failure). With the pump allowed, a send
    // that finds no room waits for it in pumped slices (EIdClosedSocket when an event closed
    // the socket meanwhile). With a time-out (ms; -2: none), a send that finds no room for
    // that long raises EIdWriteTimeout.
    std::int64_t SendRaw(const void* buffer, std::int64_t length, int timeout = -2);
    std::int64_t ReceiveRaw(void* buffer, std::int64_t length);
    // A receive that never blocks: -1 with the error 10035 when nothing is waiting.
    std::int64_t ReceiveRawNow(void* buffer, std::int64_t length);
    void SetOption(int level, int option, const void* value, int length);
    void SetOption(int level, int option, int value);
    void ReleaseHandle();
    void ClearBinding(bool clearLocal);

    TIdStackSocketHandle Handle() const { return m_handle; }
    bool HandleAllocated() const { return m_handle != Id_INVALID_SOCKET; }
    bool IsOpen() const { return m_open; }
    // Changes whenever the handle takes or gives up a socket: the same descriptor number
    // with another serial is another socket.
    unsigned Serial() const { return m_serial; }
    const std::string& PeerIP() const { return m_peerIP; }
    int PeerPort() const { return m_peerPort; }

    std::string IP;
    int Port = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

private:
    bool tryBind();
    void readLocalBinding();
    void readPeerBinding();
    bool waitOnce(int timeout);

    TIdStackSocketHandle m_handle = Id_INVALID_SOCKET;
    int m_family = AF_INET;
    bool m_open = false;
    unsigned m_serial = 0;
    std::string m_peerIP;
    int m_peerPort = 0;
};
