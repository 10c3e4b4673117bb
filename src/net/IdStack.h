// The socket stack: the one object per process through which every socket call passes. It
// wraps the BSD socket calls, turns failures into exceptions with fixed texts (errno mapped to
// the Winsock numbers users see), converts IPv4 addresses, and resolves host names to IPv4
// and IPv6 addresses.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <vector>

using TIdStackSocketHandle = int;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;

// Socket error numbers shown to the user (Winsock numbering).
inline constexpr int Id_WSAEINTR = 10004;
inline constexpr int Id_WSAEBADF = 10009;
inline constexpr int Id_WSAEACCES = 10013;
inline constexpr int Id_WSAEFAULT = 10014;
inline constexpr int Id_WSAEINVAL = 10022;
inline constexpr int Id_WSAEMFILE = 10024;
inline constexpr int Id_WSAEWOULDBLOCK = 10035;
inline constexpr int Id_WSAEINPROGRESS = 10036;
inline constexpr int Id_WSAEALREADY = 10037;
inline constexpr int Id_WSAENOTSOCK = 10038;
inline constexpr int Id_WSAEDESTADDRREQ = 10039;
inline constexpr int Id_WSAEMSGSIZE = 10040;
inline constexpr int Id_WSAEPROTOTYPE = 10041;
inline constexpr int Id_WSAENOPROTOOPT = 10042;
inline constexpr int Id_WSAEPROTONOSUPPORT = 10043;
inline constexpr int Id_WSAESOCKTNOSUPPORT = 10044;
inline constexpr int Id_WSAEOPNOTSUPP = 10045;
inline constexpr int Id_WSAEPFNOSUPPORT = 10046;
inline constexpr int Id_WSAEAFNOSUPPORT = 10047;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAEADDRNOTAVAIL = 10049;
inline constexpr int Id_WSAENETDOWN = 10050;
inline constexpr int Id_WSAENETUNREACH = 10051;
inline constexpr int Id_WSAENETRESET = 10052;
inline constexpr int Id_WSAECONNABORTED = 10053;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAENOBUFS = 10055;
inline constexpr int Id_WSAEISCONN = 10056;
inline constexpr int Id_WSAENOTCONN = 10057;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAETOOMANYREFS = 10059;
inline constexpr int Id_WSAETIMEDOUT = 10060;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSAELOOP = 10062;
inline constexpr int Id_WSAENAMETOOLONG = 10063;
inline constexpr int Id_WSAEHOSTDOWN = 10064;
inline constexpr int Id_WSAEHOSTUNREACH = 10065;
inline constexpr int Id_WSAENOTEMPTY = 10066;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;

// The most sockets one wait set may hold.
inline constexpr std::size_t Id_MAX_SELECT_SOCKETS = 64;

// Maps an errno value to the Winsock number of the same name; an errno without one is kept.
int WinsockErrorFromErrno(int errnoValue);

using TIdIPv4Bytes = std::array<std::uint8_t, 4>;

enum class TIdIPAddressForm { Dotted, SingleNumber };
enum class TIdIPAddressClass { None, A, B, C, D, E };

// The outcome of ParseIPv4.
struct TIdIPv4Parse {
    bool Valid = false;
    TIdIPv4Bytes Bytes{};
    TIdIPAddressForm Form = TIdIPAddressForm::Dotted;
    TIdIPAddressClass AddressClass = TIdIPAddressClass::None;
};

// An address and port as the accept, getsockname and getpeername wrappers give them.
struct TIdSocketAddress {
    std::string IP;
    int Port = 0;
};

class TIdStack {
public:
    TIdStack();
    ~TIdStack();
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // The computer's own addresses as dotted text, looked up afresh on each request.
    std::vector<std::string> LocalAddresses();
    std::string LocalAddress();

    // Wrappers of the socket calls; each returns the call's result unchanged (-1 on failure,
    // the error kept for lastCallError()) unless said otherwise.
    TIdStackSocketHandle acceptSocket(TIdStackSocketHandle listener, TIdSocketAddress& peer);
    int bindSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port);
    int closeSocket(TIdStackSocketHandle socket);
    int connectSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port);
    int listenOn(TIdStackSocketHandle socket, int queueLength);
    // recv and send retry a call interrupted by a signal; send never raises SIGPIPE.
    std::int64_t receive(TIdStackSocketHandle socket, void* buffer, std::int64_t length, int flags = 0);
    std::int64_t send(TIdStackSocketHandle socket, const void* buffer, std::int64_t length, int flags = 0);
    int setSocketOption(TIdStackSocketHandle socket, int level, int option, const void* value, int length);
    int socketOption(TIdStackSocketHandle socket, int level, int option, void* value, int* length);
    TIdStackSocketHandle createSocket(int family, int type, int protocol);
    // A second descriptor of the same socket (close-on-exec), for the connect thread.
    TIdStackSocketHandle duplicateSocket(TIdStackSocketHandle socket);
    int shutdownSocket(TIdStackSocketHandle socket, int how);
    // getsockname / getpeername: raise EIdSocketError on failure.
    TIdSocketAddress socketName(TIdStackSocketHandle socket);
    TIdSocketAddress peerName(TIdStackSocketHandle socket);

    // Name lookups: the first IPv4 address of a name; raise EIdSocketError (11001 for an
    // unknown name).
    std::string hostByName(const std::string& name);
    std::string hostName();
    std::string hostByAddress(const std::string& ip);
    // A service name the system does not know is read as a decimal port number.
    int serviceByName(const std::string& name);
    std::vector<std::string> serviceByPort(int port);

    static std::uint16_t HostToNetwork(std::uint16_t value);
    static std::uint16_t NetworkToHost(std::uint16_t value);
    static std::uint32_t HostToNetwork(std::uint32_t value);
    static std::uint32_t NetworkToHost(std::uint32_t value);

    // Waits until sockets are ready: each non-null list is replaced by its ready sockets.
    // More than 64 sockets in one list raise EIdStackSetSizeExceeded; timeout -2 (or any
    // negative value) waits without limit. Returns the number of ready sockets, -1 on failure.
    int select(std::vector<TIdStackSocketHandle>* readList, std::vector<TIdStackSocketHandle>* writeList,
               std::vector<TIdStackSocketHandle>* errorList, int timeout);
    // The one-socket form of select for reading, used by every readability wait:
    // true when data, a connection or the end of the stream is waiting.
    bool pollReadable(TIdStackSocketHandle socket, int timeout);
    // The same for room to send.
    bool pollWritable(TIdStackSocketHandle socket, int timeout);

    // The Winsock number of the last failed socket call on this thread.
    int lastCallError() const;
    // The last error number CheckResult read on the calling thread: a check on the connect
    // thread never replaces the error the window thread is about to report.
    int LastError() const;

    // "Socket Error # %d\r\n%s" filled with the number and its text (empty when unknown).
    static std::string SocketErrorText(int error);
    // A socket of the family (AF_INET unless said otherwise); EIdInvalidSocket when none can
    // be created.
    TIdStackSocketHandle NewSocket(int type, int protocol, int family = AF_INET);
    // false when the result is not -1; true when the call failed with a tolerated error;
    // raises EIdSocketError otherwise.
    bool CheckResult(std::int64_t result, std::initializer_list<int> tolerated = {});
    [[noreturn]] static void RaiseSocketFailure(int error);

    static TIdIPv4Parse ParseIPv4(const std::string& text);
    static bool IsAddressText(const std::string& text);
    static std::string AddressToText(const TIdIPv4Bytes& address);
    // Raises EIdInvalidIPAddress for a text that is not an IPv4 address.
    static TIdIPv4Bytes TextToAddress(const std::string& text);
    // "localhost" in any case -> 127.0.0.1; an address text unchanged; otherwise resolved.
    std::string HostToAddress(const std::string& host);
    // Every address to try for a host, IPv4 before IPv6: an IPv4 or IPv6 address text as
    // it is, "localhost" as 127.0.0.1, a name with all the addresses it resolves to.
    std::vector<std::string> HostToAddresses(const std::string& host);
    static bool IsIPv6Text(const std::string& text);
    // AF_INET6 for an IPv6 address text, AF_INET for anything else.
    static int FamilyOf(const std::string& ip);

private:
    bool waitReady(TIdStackSocketHandle socket, short events, int timeout);
};

// The process-wide stack; alive while at least one network component exists.
extern std::unique_ptr<TIdStack> SocketStack;
