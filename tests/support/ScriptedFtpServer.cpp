// The scripted FTP server of the protocol tests: raw POSIX sockets on one thread, every
// wait bounded by the step time-out and by the stop request of the destructor.
#include "support/ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPeriod = 65521; // a prime: the pattern does not line up with block sizes
constexpr int kSlotMs = 50;

struct ScriptFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Stopped {};

const std::string& patternBlock()
{
    static const std::string block = [] {
        std::string bytes(kPeriod + ScriptedFtpServer::kMaxSpan, '\0');
        std::uint32_t state = 2463534242u;
        for (std::size_t i = 0; i < kPeriod; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            bytes[i] = static_cast<char>(state >> 11);
        }
        for (std::size_t i = kPeriod; i < bytes.size(); ++i)
            bytes[i] = bytes[i % kPeriod];
        return bytes;
    }();
    return block;
}

sockaddr_in loopbackAddress(const std::string& host, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        throw ScriptFailure("bad address " + host);
    return address;
}

int listenOnLoopback(std::uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ScriptFailure("socket failed");
    sockaddr_in address = loopbackAddress("127.0.0.1", 0);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw ScriptFailure("listen failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// "PORT 127,0,0,1,200,10" -> host "127.0.0.1", port 51210.
void parsePortArgument(const std::string& argument, std::string& host, int& port)
{
    std::vector<int> fields;
    std::size_t start = 0;
    while (start <= argument.size()) {
        const std::size_t comma = argument.find(',', start);
        const std::string field = argument.substr(start, comma - start);
        fields.push_back(std::atoi(field.c_str()));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 6)
        throw ScriptFailure("malformed PORT argument: " + argument);
    host = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "."
         + std::to_string(fields[2]) + "." + std::to_string(fields[3]);
    port = fields[4] * 256 + fields[5];
}

} // namespace

char ScriptedFtpServer::generatedByte(std::int64_t index)
{
    return patternBlock()[static_cast<std::size_t>(index % static_cast<std::int64_t>(kPeriod))];
}

std::string ScriptedFtpServer::generatedBytes(std::int64_t size)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    for (std::int64_t at = 0; at < size;) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(kMaxSpan, size - at));
        bytes.append(generatedSpan(at, chunk));
        at += static_cast<std::int64_t>(chunk);
    }
    return bytes;
}

std::string_view ScriptedFtpServer::generatedSpan(std::int64_t index, std::size_t size)
{
    if (size > kMaxSpan)
        throw std::invalid_argument("generatedSpan: span too long");
    const auto offset = static_cast<std::size_t>(index % static_cast<std::int64_t>(kPeriod));
    return std::string_view(patternBlock()).substr(offset, size);
}

ScriptedFtpServer::ScriptedFtpServer(int stepTimeoutMs) : m_stepTimeoutMs(stepTimeoutMs)
{
    m_listenFd = listenOnLoopback(m_port);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    closeFd(m_dataFd);
    closeFd(m_pasvFd);
    closeFd(m_controlFd);
    closeFd(m_listenFd);
}

ScriptedFtpServer& ScriptedFtpServer::add(Step step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

ScriptedFtpServer& ScriptedFtpServer::send(const std::string& bytes)
{
    return add([this, bytes] { sendAll(m_controlFd, bytes.data(), bytes.size(), false); });
}

ScriptedFtpServer& ScriptedFtpServer::sendSplit(const std::string& bytes,
                                                const std::vector<std::size_t>& cuts)
{
    return add([this, bytes, cuts] {
        std::size_t from = 0;
        for (std::size_t cut : cuts) {
            sendAll(m_controlFd, bytes.data() + from, cut - from, false);
            from = cut;
            // A pause between blocks makes the client read them one by one.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        sendAll(m_controlFd, bytes.data() + from, bytes.size() - from, false);
    });
}

ScriptedFtpServer& ScriptedFtpServer::sendEndlessly(const std::string& first, const std::string& line,
                                                    int pauseMs, std::int64_t limit)
{
    return add([this, first, line, pauseMs, limit] {
        sendAll(m_controlFd, first.data(), first.size(), true);
        std::string block;
        while (block.size() < (pauseMs > 0 ? 1 : 65536 / line.size() + 1) * line.size())
            block += line;
        for (std::int64_t sent = 0; sent < limit;) {
            // From where the last send stopped, so that every line arrives whole.
            const std::size_t at = static_cast<std::size_t>(sent) % block.size();
            const ssize_t n = ::send(m_controlFd, block.data() + at, block.size() - at,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return; // the client closed the connection
            if (pauseMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            else if (n <= 0)
                waitFor(m_controlFd, POLLOUT, m_stepTimeoutMs);
        }
    });
}

ScriptedFtpServer& ScriptedFtpServer::expect(const std::string& line)
{
    return add([this, line] {
        const std::string got = readCommand();
        if (got != line)
            throw ScriptFailure("expected \"" + line + "\", got \"" + got + "\"");
    });
}

ScriptedFtpServer& ScriptedFtpServer::expectPrefix(const std::string& prefix)
{
    return add([this, prefix] {
        const std::string got = readCommand();
        if (got.rfind(prefix, 0) != 0)
            throw ScriptFailure("expected \"" + prefix + "...\", got \"" + got + "\"");
    });
}

ScriptedFtpServer& ScriptedFtpServer::expectAny()
{
    return add([this] { readCommand(); });
}

ScriptedFtpServer& ScriptedFtpServer::reply(const std::string& line, const std::string& replyBytes)
{
    return expect(line).send(replyBytes);
}

ScriptedFtpServer& ScriptedFtpServer::pasv(const std::string& format)
{
    expect("PASV");
    return add([this, format] {
        closeFd(m_pasvFd);
        std::uint16_t dataPort = 0;
        m_pasvFd = listenOnLoopback(dataPort);
        std::string text = format;
        const std::string fields = std::to_string(dataPort / 256) + "," + std::to_string(dataPort % 256);
        const std::size_t at = text.find("{port}");
        if (at != std::string::npos)
            text.replace(at, 6, fields);
        sendAll(m_controlFd, text.data(), text.size(), false);
    });
}

ScriptedFtpServer& ScriptedFtpServer::epsv(const std::string& format)
{
    expect("EPSV");
    return add([this, format] {
        closeFd(m_pasvFd);
        std::uint16_t dataPort = 0;
        m_pasvFd = listenOnLoopback(dataPort);
        std::string text = format;
        const std::size_t at = text.find("{port}");
        if (at != std::string::npos)
            text.replace(at, 6, std::to_string(dataPort));
        sendAll(m_controlFd, text.data(), text.size(), false);
    });
}

ScriptedFtpServer& ScriptedFtpServer::acceptData()
{
    return add([this] {
        if (m_pasvFd < 0)
            throw ScriptFailure("acceptData without a passive listener");
        waitFor(m_pasvFd, POLLIN, m_stepTimeoutMs);
        closeFd(m_dataFd);
        m_dataFd = accept4(m_pasvFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (m_dataFd < 0)
            throw ScriptFailure("accept of the data connection failed");
        closeFd(m_pasvFd);
    });
}

ScriptedFtpServer& ScriptedFtpServer::connectData(const std::string& sourceAddress)
{
    return add([this, sourceAddress] {
        std::string host;
        int dataPort = 0;
        parsePortArgument(m_lastPort, host, dataPort);
        closeFd(m_dataFd);
        m_dataFd = connectTo(host, dataPort, sourceAddress);
    });
}

ScriptedFtpServer& ScriptedFtpServer::intrudeData(const std::string& sourceAddress,
                                                  const std::string& bytes)
{
    return add([this, sourceAddress, bytes] {
        std::string host;
        int dataPort = 0;
        parsePortArgument(m_lastPort, host, dataPort);
        int fd = connectTo(host, dataPort, sourceAddress);
        try {
            sendAll(fd, bytes.data(), bytes.size(), true);
            // The client must close the stranger's connection while it keeps waiting.
            char sink[4096];
            for (;;) {
                waitFor(fd, POLLIN, m_stepTimeoutMs);
                const ssize_t n = recv(fd, sink, sizeof sink, 0);
                if (n <= 0)
                    break;
            }
            ++m_intrudersRefused;
        } catch (...) {
            closeFd(fd);
            throw;
        }
        closeFd(fd);
    });
}

ScriptedFtpServer& ScriptedFtpServer::sendData(const std::string& bytes)
{
    return add([this, bytes] { sendAll(m_dataFd, bytes.data(), bytes.size(), true); });
}

ScriptedFtpServer& ScriptedFtpServer::sendGeneratedData(std::int64_t size)
{
    return add([this, size] {
        for (std::int64_t at = 0; at < size;) {
            const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(kMaxSpan, size - at));
            const std::string_view span = generatedSpan(at, chunk);
            const ssize_t n = ::send(m_dataFd, span.data(), span.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                at += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return; // the client went away: the step ends quietly
            waitFor(m_dataFd, POLLOUT, m_stepTimeoutMs);
        }
    });
}

ScriptedFtpServer& ScriptedFtpServer::receiveData()
{
    return add([this] {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            waitFor(m_dataFd, POLLIN, m_stepTimeoutMs);
            const ssize_t n = recv(m_dataFd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            m_receivedCount += n;
            std::lock_guard lock(m_mutex);
            if (m_received.size() < (64u << 20)) // keep at most 64 MiB for comparison
                m_received.append(buffer.data(), static_cast<std::size_t>(n));
        }
    });
}

ScriptedFtpServer& ScriptedFtpServer::receiveGeneratedData()
{
    return add([this] {
        std::vector<char> buffer(kMaxSpan);
        for (;;) {
            waitFor(m_dataFd, POLLIN, m_stepTimeoutMs);
            const ssize_t n = recv(m_dataFd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            const std::string_view expected = generatedSpan(m_receivedCount, static_cast<std::size_t>(n));
            if (std::memcmp(buffer.data(), expected.data(), expected.size()) != 0)
                ++m_receivedMismatches;
            m_receivedCount += n;
        }
    });
}

ScriptedFtpServer& ScriptedFtpServer::closeData()
{
    return add([this] { closeFd(m_dataFd); });
}

ScriptedFtpServer& ScriptedFtpServer::closeControl()
{
    return add([this] {
        closeFd(m_dataFd);
        closeFd(m_controlFd);
    });
}

ScriptedFtpServer& ScriptedFtpServer::call(std::function<void()> step)
{
    return add(std::move(step));
}

void ScriptedFtpServer::start()
{
    m_thread = std::thread([this] { run(); });
}

void ScriptedFtpServer::run()
{
    std::string failure;
    try {
        acceptControl();
        for (auto& step : m_steps)
            step();
    } catch (const Stopped&) {
        failure = "stopped before the script ended";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    // Closing the command connection at the end tells a waiting client that the server is gone.
    closeFd(m_dataFd);
    closeFd(m_pasvFd);
    closeFd(m_controlFd);
    {
        std::lock_guard lock(m_mutex);
        m_failure = failure;
        m_done = true;
    }
    m_doneChanged.notify_all();
}

void ScriptedFtpServer::acceptControl()
{
    waitFor(m_listenFd, POLLIN, m_stepTimeoutMs);
    m_controlFd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_controlFd < 0)
        throw ScriptFailure("accept of the command connection failed");
    const int one = 1;
    setsockopt(m_controlFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

std::string ScriptedFtpServer::readCommand()
{
    for (;;) {
        const std::size_t end = m_pending.find("\r\n");
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 2);
            if (line.rfind("PORT ", 0) == 0)
                m_lastPort = line.substr(5);
            std::lock_guard lock(m_mutex);
            m_transcript.push_back(line);
            return line;
        }
        waitFor(m_controlFd, POLLIN, m_stepTimeoutMs);
        char buffer[4096];
        const ssize_t n = recv(m_controlFd, buffer, sizeof buffer, 0);
        if (n <= 0)
            throw ScriptFailure("the client closed the command connection (pending \"" + m_pending + "\")");
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void ScriptedFtpServer::sendAll(int fd, const char* data, std::size_t size, bool tolerateGone)
{
    if (fd < 0)
        throw ScriptFailure("send on a connection that is not open");
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            if (tolerateGone)
                return;
            throw ScriptFailure(std::string("send failed: ") + std::strerror(errno));
        }
        waitFor(fd, POLLOUT, m_stepTimeoutMs);
    }
}

// Waits in short slots so that the destructor's stop request ends the thread promptly.
void ScriptedFtpServer::waitFor(int fd, short events, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (m_stop)
            throw Stopped{};
        pollfd p{fd, events, 0};
        const int ready = poll(&p, 1, kSlotMs);
        if (ready > 0)
            return;
        if (ready < 0 && errno != EINTR)
            throw ScriptFailure("poll failed");
        if (std::chrono::steady_clock::now() >= deadline)
            throw ScriptFailure("time-out waiting on the client");
    }
}

int ScriptedFtpServer::connectTo(const std::string& host, int port, const std::string& source)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ScriptFailure("socket failed");
    if (!source.empty()) {
        sockaddr_in local = loopbackAddress(source, 0);
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            close(fd);
            throw ScriptFailure("cannot bind to " + source);
        }
    }
    sockaddr_in address = loopbackAddress(host, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        throw ScriptFailure("connect to " + host + ":" + std::to_string(port) + " failed: "
                            + std::strerror(errno));
    }
    return fd;
}

void ScriptedFtpServer::closeFd(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool ScriptedFtpServer::waitDone(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_doneChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_done.load(); });
}

testing::AssertionResult ScriptedFtpServer::played(int timeoutMs)
{
    if (!waitDone(timeoutMs))
        return testing::AssertionFailure() << "the script did not end";
    const std::string failed = failure();
    if (!failed.empty())
        return testing::AssertionFailure() << failed;
    return testing::AssertionSuccess();
}

std::string ScriptedFtpServer::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

std::vector<std::string> ScriptedFtpServer::transcript() const
{
    std::lock_guard lock(m_mutex);
    return m_transcript;
}

std::string ScriptedFtpServer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}
