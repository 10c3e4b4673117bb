// The socket transport of a connection: a TIdSocketHandle connected with status reports, a
// time-out on a connect thread while the window is pumped, and unchecked receive and send.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/IdIOHandler.h"
#include "net/IdSocketHandle.h"

class TIdConnectThread;

enum class TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

// A SOCKS proxy description. This program never names a proxy; connecting through one is
// refused with a clear message rather than attempted without its handshake.
struct TIdSocksInfo {
    TSocksVersion Version = TSocksVersion::svNoSocks;
    std::string Host;
    int Port = 1080;
    TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
    std::string Username;
    std::string Password;
};

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    // The connect time-out used when the pump is allowed and the caller gave none.
    static constexpr int kPumpedConnectTimeout = 120000;

    TIdIOHandlerSocket();
    ~TIdIOHandlerSocket() override;

    void CloseTransport() override;
    void ConnectTo(const std::string& host, int port, int timeout = -1, int clientPortMax = 0,
                   int clientPortMin = 0, int localPort = 0,
                   const std::string& bindAddress = std::string()) override;
    bool IsOpen() const override;
    void OpenTransport() override;
    bool WaitReadable(int timeout) override;
    std::int64_t ReceiveBytes(void* buffer, std::int64_t length) override;
    std::int64_t SendBytes(const void* buffer, std::int64_t length) override;
    std::int64_t SendBytesWithin(const void* buffer, std::int64_t length, int timeout) override;
    // A receive that never blocks: -1 with the error 10035 (would block) when nothing waits,
    // so a bulk reader can skip the readability wait while data keeps arriving.
    virtual std::int64_t ReceiveBytesNow(void* buffer, std::int64_t length);

    // The socket handle; null before OpenTransport.
    TIdSocketHandle* Binding() const { return m_binding.get(); }
    TIdSocksInfo& SocksInfo() { return m_socksInfo; }

    bool UseNagle = true;

private:
    void ConnectWithTimeout(int timeout);
    bool waitForConnect(TIdConnectThread& thread, int timeout, int slice);
    void abortConnect(TIdConnectThread& thread);
    struct LocalBinding {
        int portMax = 0;
        int portMin = 0;
        int port = 0;
        std::string address;
    };
    void connectToAddress(const std::string& address, int port, int timeout, const LocalBinding& local);
    void bindForConnect(int clientPortMax, int clientPortMin, int localPort,
                        const std::string& bindAddress, int family);
    TIdSocketHandle& openBinding();

    std::unique_ptr<TIdSocketHandle> m_binding;
    TIdSocksInfo m_socksInfo;
};
