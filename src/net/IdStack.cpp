// The socket stack over BSD sockets: wrappers of the socket calls, errno mapped to the Winsock
// numbers by name, the error texts, and the IPv4 address conversions and lookups.
#include "net/IdStack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/IdException.h"

std::unique_ptr<TIdStack> SocketStack;

namespace {

// The Winsock number of the last failed socket call, per thread like WSAGetLastError.
thread_local int tlsLastSocketError = 0;
// The error CheckResult last read, per thread for the same reason.
thread_local int tlsCheckedSocketError = 0;

struct ErrorEntry {
    int errnoValue;
    int number;
    const char* text;
};

// errno -> the Winsock number of the same name, with the text users see. EPIPE (a send on a
// connection that is shut down) reads as ESHUTDOWN, the nearest name.
constexpr ErrorEntry kErrorTable[] = {
    {EINTR, Id_WSAEINTR, "Interrupted system call."},
    {EBADF, Id_WSAEBADF, "Bad file number."},
    {EACCES, Id_WSAEACCES, "Access denied."},
    {EFAULT, Id_WSAEFAULT, "Bad address."},
    {EINVAL, Id_WSAEINVAL, "Invalid argument."},
    {EMFILE, Id_WSAEMFILE, "Too many open files."},
    {EWOULDBLOCK, Id_WSAEWOULDBLOCK, "Operation would block. "},
    {EINPROGRESS, Id_WSAEINPROGRESS, "Operation now in progress."},
    {EALREADY, Id_WSAEALREADY, "Operation already in progress."},
    {ENOTSOCK, Id_WSAENOTSOCK, "Socket operation on non-socket."},
    {EDESTADDRREQ, Id_WSAEDESTADDRREQ, "Destination address required."},
    {EMSGSIZE, Id_WSAEMSGSIZE, "Message too long."},
    {EPROTOTYPE, Id_WSAEPROTOTYPE, "Protocol wrong type for socket."},
    {ENOPROTOOPT, Id_WSAENOPROTOOPT, "Bad protocol option."},
    {EPROTONOSUPPORT, Id_WSAEPROTONOSUPPORT, "Protocol not supported."},
    {ESOCKTNOSUPPORT, Id_WSAESOCKTNOSUPPORT, "Socket type not supported."},
    {EOPNOTSUPP, Id_WSAEOPNOTSUPP, "Operation not supported on socket."},
    {EPFNOSUPPORT, Id_WSAEPFNOSUPPORT, "Protocol family not supported."},
    {EAFNOSUPPORT, Id_WSAEAFNOSUPPORT, "Address family not supported by protocol family."},
    {EADDRINUSE, Id_WSAEADDRINUSE, "Address already in use."},
    {EADDRNOTAVAIL, Id_WSAEADDRNOTAVAIL, "Cannot assign requested address."},
    {ENETDOWN, Id_WSAENETDOWN, "Network is down."},
    {ENETUNREACH, Id_WSAENETUNREACH, "Network is unreachable."},
    {ENETRESET, Id_WSAENETRESET, "Net dropped connection or reset."},
    {ECONNABORTED, Id_WSAECONNABORTED, "Software caused connection abort."},
    {ECONNRESET, Id_WSAECONNRESET, "Connection reset by peer."},
    {ENOBUFS, Id_WSAENOBUFS, "No buffer space available."},
    {EISCONN, Id_WSAEISCONN, "Socket is already connected."},
    {ENOTCONN, Id_WSAENOTCONN, "Socket is not connected."},
    {ESHUTDOWN, Id_WSAESHUTDOWN, "Cannot send or receive after socket is closed."},
    {EPIPE, Id_WSAESHUTDOWN, "Cannot send or receive after socket is closed."},
    {ETOOMANYREFS, Id_WSAETOOMANYREFS, "Too many references, cannot splice."},
    {ETIMEDOUT, Id_WSAETIMEDOUT, "Connection timed out."},
    {ECONNREFUSED, Id_WSAECONNREFUSED, "Connection refused."},
    {ELOOP, Id_WSAELOOP, "Too many levels of symbolic links."},
    {ENAMETOOLONG, Id_WSAENAMETOOLONG, "File name too long."},
    {EHOSTDOWN, Id_WSAEHOSTDOWN, "Host is down."},
    {EHOSTUNREACH, Id_WSAEHOSTUNREACH, "No route to host."},
    {ENOTEMPTY, Id_WSAENOTEMPTY, "Directory not empty"},
};

// Keeps the error of a failed call (result -1) for lastCallError().
template <class Result>
Result keepError(Result result)
{
    if (result == -1)
        tlsLastSocketError = WinsockErrorFromErrno(errno);
    return result;
}

[[noreturn]] void raiseLastError()
{
    TIdStack::RaiseSocketFailure(tlsLastSocketError);
}

[[noreturn]] void raiseLookupFailure(int gaiError)
{
    TIdStack::RaiseSocketFailure(gaiError == EAI_SYSTEM ? WinsockErrorFromErrno(errno)
                                                        : Id_WSAHOST_NOT_FOUND);
}

// A socket address of either family; its size is what the socket calls take.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = sizeof(sockaddr_storage);
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

// IPv6 for an IPv6 address text, or for an empty one (any address) when the family asks for
// it; IPv4 otherwise, as before.
SocketAddress makeAddress(int family, const std::string& ip, int port)
{
    SocketAddress result;
    if (TIdStack::FamilyOf(ip) == AF_INET6 || (ip.empty() && family == AF_INET6)) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        address.sin6_addr = in6addr_any;
        if (!ip.empty() && ::inet_pton(AF_INET6, ip.c_str(), &address.sin6_addr) != 1)
            throw EIdInvalidIPAddress(ip);
        std::memcpy(&result.storage, &address, sizeof(address));
        result.length = sizeof(address);
        return result;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (ip.empty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    } else {
        const TIdIPv4Bytes bytes = TIdStack::TextToAddress(ip);
        std::memcpy(&address.sin_addr.s_addr, bytes.data(), 4);
    }
    std::memcpy(&result.storage, &address, sizeof(address));
    result.length = sizeof(address);
    return result;
}

TIdSocketAddress fromAddress(const sockaddr_storage& storage)
{
    if (storage.ss_family == AF_INET6) {
        const auto& address = reinterpret_cast<const sockaddr_in6&>(storage);
        char text[INET6_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof(text));
        return {text, ntohs(address.sin6_port)};
    }
    const auto& address = reinterpret_cast<const sockaddr_in&>(storage);
    TIdIPv4Bytes bytes;
    std::memcpy(bytes.data(), &address.sin_addr.s_addr, 4);
    return {TIdStack::AddressToText(bytes), ntohs(address.sin_port)};
}

// The addresses of a name of the given family (AF_UNSPEC: both), in the resolver's order.
std::vector<std::string> resolveAll(const std::string& name, int family = AF_INET)
{
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (error != 0)
        raiseLookupFailure(error);
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> found(list, &::freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* entry = found.get(); entry != nullptr; entry = entry->ai_next) {
        sockaddr_storage storage{};
        std::memcpy(&storage, entry->ai_addr, std::min<std::size_t>(entry->ai_addrlen, sizeof(storage)));
        const std::string address = fromAddress(storage).IP;
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    if (addresses.empty())
        TIdStack::RaiseSocketFailure(Id_WSAHOST_NOT_FOUND);
    return addresses;
}

// "localhost" in any letter case.
bool isLocalhostName(const std::string& host)
{
    return std::equal(host.begin(), host.end(), std::string_view("LOCALHOST").begin(),
                      std::string_view("LOCALHOST").end(),
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

// Reads a whole number as the address parts are written: leading blanks, a sign, then
// decimal digits or hexadecimal ones after "$" or "0x". Nothing may follow.
bool readNumber(const std::string& text, std::int64_t& value)
{
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos)
        return false;
    bool negative = false;
    if (text[at] == '+' || text[at] == '-')
        negative = text[at++] == '-';
    int base = 10;
    if (text.compare(at, 1, "$") == 0) {
        base = 16;
        at += 1;
    } else if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
        base = 16;
        at += 2;
    }
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    if (first == last || *first == '+' || *first == '-')
        return false;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(first, last, magnitude, base);
    if (error != std::errc() || end != last || magnitude > std::uint64_t(INT64_MAX))
        return false;
    value = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
    return true;
}

bool readPart(const std::string& text, std::int64_t maximum, std::int64_t& value)
{
    return readNumber(text, value) && value >= 0 && value <= maximum;
}

// Cuts the text before the first "." off and answers it; without a dot, the whole text.
std::string fetchPart(std::string& rest)
{
    const std::size_t dot = rest.find('.');
    std::string part = rest.substr(0, dot);
    rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
    return part;
}

TIdIPv4Bytes bytesOf(std::uint32_t value)
{
    return {std::uint8_t(value >> 24), std::uint8_t(value >> 16), std::uint8_t(value >> 8),
            std::uint8_t(value)};
}

TIdIPAddressClass classOf(std::uint8_t firstByte)
{
    if (firstByte < 128)
        return TIdIPAddressClass::A;
    if (firstByte < 192)
        return TIdIPAddressClass::B;
    if (firstByte < 224)
        return TIdIPAddressClass::C;
    if (firstByte < 240)
        return TIdIPAddressClass::D;
    return TIdIPAddressClass::E;
}

// Fills a poll set from one list; more than the set size raises.
void addToPollSet(const std::vector<TIdStackSocketHandle>* list, short events, std::vector<pollfd>& set)
{
    if (list == nullptr)
        return;
    if (list->size() > Id_MAX_SELECT_SOCKETS)
        throw EIdStackSetSizeExceeded();
    for (TIdStackSocketHandle socket : *list)
        set.push_back({socket, events, 0});
}

// Replaces a list by the sockets the poll marked; answers how many it kept.
int keepReady(std::vector<TIdStackSocketHandle>* list, const std::vector<pollfd>& set,
              std::size_t& at, short readyEvents)
{
    if (list == nullptr)
        return 0;
    std::vector<TIdStackSocketHandle> ready;
    for (std::size_t i = 0; i < list->size(); ++i, ++at) {
        if (set[at].revents & readyEvents)
            ready.push_back(set[at].fd);
    }
    *list = std::move(ready);
    return static_cast<int>(list->size());
}

} // namespace

int WinsockErrorFromErrno(int errnoValue)
{
    for (const ErrorEntry& entry : kErrorTable) {
        if (entry.errnoValue == errnoValue)
            return entry.number;
    }
    return errnoValue;
}

TIdStack::TIdStack() = default;
TIdStack::~TIdStack() = default;

std::vector<std::string> TIdStack::LocalAddresses()
{
    return resolveAll(hostName());
}

std::string TIdStack::LocalAddress()
{
    return LocalAddresses().front();
}

TIdStackSocketHandle TIdStack::acceptSocket(TIdStackSocketHandle listener, TIdSocketAddress& peer)
{
    SocketAddress address;
    const int socket = keepError(::accept4(listener, address.get(), &address.length, SOCK_CLOEXEC));
    if (socket != -1)
        peer = fromAddress(address.storage);
    return socket;
}

int TIdStack::bindSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port)
{
    SocketAddress address = makeAddress(family, ip, port);
    return keepError(::bind(socket, address.get(), address.length));
}

int TIdStack::closeSocket(TIdStackSocketHandle socket)
{
    return keepError(::close(socket));
}

int TIdStack::connectSocket(TIdStackSocketHandle socket, int family, const std::string& ip, int port)
{
    SocketAddress address = makeAddress(family, ip, port);
    return keepError(::connect(socket, address.get(), address.length));
}

int TIdStack::listenOn(TIdStackSocketHandle socket, int queueLength)
{
    return keepError(::listen(socket, queueLength));
}

std::int64_t TIdStack::receive(TIdStackSocketHandle socket, void* buffer, std::int64_t length, int flags)
{
    ssize_t result;
    do {
        result = ::recv(socket, buffer, static_cast<std::size_t>(length), flags);
    } while (result == -1 && errno == EINTR);
    return keepError(static_cast<std::int64_t>(result));
}

std::int64_t TIdStack::send(TIdStackSocketHandle socket, const void* buffer, std::int64_t length, int flags)
{
    // MSG_NOSIGNAL: a peer that has gone gives an error here, not a signal that ends the process.
    ssize_t result;
    do {
        result = ::send(socket, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
    } while (result == -1 && errno == EINTR);
    return keepError(static_cast<std::int64_t>(result));
}

int TIdStack::setSocketOption(TIdStackSocketHandle socket, int level, int option, const void* value,
                              int length)
{
    return keepError(::setsockopt(socket, level, option, value, static_cast<socklen_t>(length)));
}

int TIdStack::socketOption(TIdStackSocketHandle socket, int level, int option, void* value, int* length)
{
    socklen_t size = static_cast<socklen_t>(*length);
    const int result = keepError(::getsockopt(socket, level, option, value, &size));
    *length = static_cast<int>(size);
    return result;
}

TIdStackSocketHandle TIdStack::createSocket(int family, int type, int protocol)
{
    // Close-on-exec: a server process started by the program must not keep our connections open.
    return keepError(::socket(family, type | SOCK_CLOEXEC, protocol));
}

TIdStackSocketHandle TIdStack::duplicateSocket(TIdStackSocketHandle socket)
{
    return keepError(::fcntl(socket, F_DUPFD_CLOEXEC, 0));
}

int TIdStack::shutdownSocket(TIdStackSocketHandle socket, int how)
{
    return keepError(::shutdown(socket, how));
}

TIdSocketAddress TIdStack::socketName(TIdStackSocketHandle socket)
{
    SocketAddress address;
    if (keepError(::getsockname(socket, address.get(), &address.length)) == -1)
        raiseLastError();
    return fromAddress(address.storage);
}

TIdSocketAddress TIdStack::peerName(TIdStackSocketHandle socket)
{
    SocketAddress address;
    if (keepError(::getpeername(socket, address.get(), &address.length)) == -1)
        raiseLastError();
    return fromAddress(address.storage);
}

std::string TIdStack::hostByName(const std::string& name)
{
    return resolveAll(name).front();
}

std::string TIdStack::hostName()
{
    char name[250] = {};
    if (keepError(::gethostname(name, sizeof(name) - 1)) == -1)
        raiseLastError();
    return name;
}

std::string TIdStack::hostByAddress(const std::string& ip)
{
    SocketAddress address = makeAddress(AF_INET, ip, 0);
    char name[NI_MAXHOST] = {};
    const int error = ::getnameinfo(address.get(), address.length, name, sizeof(name), nullptr, 0,
                                    NI_NAMEREQD);
    if (error != 0)
        raiseLookupFailure(error);
    return name;
}

int TIdStack::serviceByName(const std::string& name)
{
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(name.c_str(), "tcp", &entry, buffer, sizeof(buffer), &found) == 0 && found)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    int port = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), port);
    if (name.empty() || error != std::errc() || end != name.data() + name.size())
        throw EIdInvalidServiceName(name);
    return port;
}

std::vector<std::string> TIdStack::serviceByPort(int port)
{
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    std::vector<std::string> names;
    const int networkPort = htons(static_cast<std::uint16_t>(port));
    if (::getservbyport_r(networkPort, "tcp", &entry, buffer, sizeof(buffer), &found) != 0 || !found)
        return names;
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias)
        names.emplace_back(*alias);
    return names;
}

std::uint16_t TIdStack::HostToNetwork(std::uint16_t value) { return htons(value); }
std::uint16_t TIdStack::NetworkToHost(std::uint16_t value) { return ntohs(value); }
std::uint32_t TIdStack::HostToNetwork(std::uint32_t value) { return htonl(value); }
std::uint32_t TIdStack::NetworkToHost(std::uint32_t value) { return ntohl(value); }

int TIdStack::select(std::vector<TIdStackSocketHandle>* readList, std::vector<TIdStackSocketHandle>* writeList,
                     std::vector<TIdStackSocketHandle>* errorList, int timeout)
{
    // poll rather than select(2): a descriptor above FD_SETSIZE must not overrun an fd_set.
    constexpr short kReadReady = POLLIN | POLLHUP | POLLERR;
    constexpr short kWriteReady = POLLOUT | POLLHUP | POLLERR;
    std::vector<pollfd> set;
    addToPollSet(readList, POLLIN, set);
    addToPollSet(writeList, POLLOUT, set);
    addToPollSet(errorList, POLLPRI, set);
    int result;
    do {
        result = ::poll(set.data(), set.size(), timeout < 0 ? -1 : timeout);
    } while (result == -1 && errno == EINTR);
    if (keepError(result) == -1)
        return -1;
    std::size_t at = 0;
    int ready = keepReady(readList, set, at, kReadReady);
    ready += keepReady(writeList, set, at, kWriteReady);
    ready += keepReady(errorList, set, at, POLLPRI);
    return ready;
}

bool TIdStack::pollReadable(TIdStackSocketHandle socket, int timeout)
{
    return waitReady(socket, POLLIN, timeout);
}

bool TIdStack::pollWritable(TIdStackSocketHandle socket, int timeout)
{
    return waitReady(socket, POLLOUT, timeout);
}

bool TIdStack::waitReady(TIdStackSocketHandle socket, short events, int timeout)
{
    // A signal interrupting the wait does not end it: the wait goes on for what is left, so
    // a wait without a limit is not taken for a time-out.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
    for (;;) {
        pollfd entry{socket, events, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int wait = timeout < 0 ? -1 : static_cast<int>(std::max<std::int64_t>(0, left));
        const int result = ::poll(&entry, 1, wait);
        if (result == -1 && errno == EINTR)
            continue;
        return keepError(result) == 1;
    }
}

int TIdStack::lastCallError() const
{
    return tlsLastSocketError;
}

int TIdStack::LastError() const
{
    return tlsCheckedSocketError;
}

std::string TIdStack::SocketErrorText(int error)
{
    const char* text = "";
    if (error == Id_WSAHOST_NOT_FOUND) {
        text = "Host not found.";
    } else {
        for (const ErrorEntry& entry : kErrorTable) {
            if (entry.number == error) {
                text = entry.text;
                break;
            }
        }
    }
    return "Socket Error # " + std::to_string(error) + "\r\n" + text;
}

TIdStackSocketHandle TIdStack::NewSocket(int type, int protocol, int family)
{
    const TIdStackSocketHandle socket = createSocket(family, type, protocol);
    if (socket == Id_INVALID_SOCKET)
        throw EIdInvalidSocket();
    return socket;
}

bool TIdStack::CheckResult(std::int64_t result, std::initializer_list<int> tolerated)
{
    if (result != Id_SOCKET_ERROR)
        return false;
    const int error = lastCallError();
    tlsCheckedSocketError = error;
    if (std::find(tolerated.begin(), tolerated.end(), error) != tolerated.end())
        return true;
    RaiseSocketFailure(error);
}

void TIdStack::RaiseSocketFailure(int error)
{
    throw EIdSocketError(error, SocketErrorText(error));
}

TIdIPv4Parse TIdStack::ParseIPv4(const std::string& text)
{
    std::string rest = text;
    const std::string parts[4] = {fetchPart(rest), fetchPart(rest), fetchPart(rest), rest};
    TIdIPv4Parse parse;
    std::int64_t a = 0, b = 0, c = 0, d = 0;
    if (parts[1].empty()) {
        // "3232235777": one number, most significant byte first.
        if (!readPart(parts[0], 0xFFFFFFFFLL, a))
            return parse;
        parse.Bytes = bytesOf(std::uint32_t(a));
        parse.Form = TIdIPAddressForm::SingleNumber;
    } else if (parts[2].empty()) {
        if (!readPart(parts[0], 255, a) || !readPart(parts[1], 0xFFFFFF, b))
            return parse;
        parse.Bytes = bytesOf(std::uint32_t(a << 24 | b));
        parse.AddressClass = TIdIPAddressClass::A;
    } else if (parts[3].empty()) {
        if (!readPart(parts[0], 255, a) || !readPart(parts[1], 255, b) || !readPart(parts[2], 0xFFFF, c))
            return parse;
        parse.Bytes = bytesOf(std::uint32_t(a << 24 | b << 16 | c));
        parse.AddressClass = TIdIPAddressClass::B;
    } else {
        if (!readPart(parts[0], 255, a) || !readPart(parts[1], 255, b) || !readPart(parts[2], 255, c) ||
            !readPart(parts[3], 255, d))
            return parse;
        parse.Bytes = bytesOf(std::uint32_t(a << 24 | b << 16 | c << 8 | d));
        parse.AddressClass = classOf(parse.Bytes[0]);
    }
    parse.Valid = true;
    return parse;
}

bool TIdStack::IsAddressText(const std::string& text)
{
    return ParseIPv4(text).Valid;
}

std::string TIdStack::AddressToText(const TIdIPv4Bytes& address)
{
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

TIdIPv4Bytes TIdStack::TextToAddress(const std::string& text)
{
    const TIdIPv4Parse parse = ParseIPv4(text);
    if (!parse.Valid)
        throw EIdInvalidIPAddress(text);
    return parse.Bytes;
}

std::string TIdStack::HostToAddress(const std::string& host)
{
    if (isLocalhostName(host))
        return "127.0.0.1";
    if (IsAddressText(host))
        return host;
    return hostByName(host);
}

bool TIdStack::IsIPv6Text(const std::string& text)
{
    in6_addr address{};
    return ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

int TIdStack::FamilyOf(const std::string& ip)
{
    return ip.find(':') != std::string::npos ? AF_INET6 : AF_INET;
}

std::vector<std::string> TIdStack::HostToAddresses(const std::string& host)
{
    if (IsIPv6Text(host))
        return {host};
    if (IsAddressText(host) || isLocalhostName(host))
        return {HostToAddress(host)};
    std::vector<std::string> addresses = resolveAll(host, AF_UNSPEC);
    // IPv4 first, so that a site that works today is reached the way it is today.
    std::stable_partition(addresses.begin(), addresses.end(),
                          [](const std::string& address) { return FamilyOf(address) == AF_INET; });
    return addresses;
}
