// One TCP connection with buffered reading and writing, lines and numeric replies.
#include "ftp/IdTCPConnection.h"

#include "ftp/IdGlobal.h"
#include "net/IdAntiFreeze.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdIntercept.h"
#include "net/IdStack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kNotConnected = "Not Connected";
constexpr const char* kReadTimeout = "Read Timeout";
constexpr const char* kMaxLineExceeded = "Max line length exceeded.";
constexpr const char* kNoDataToRead = "No data to read.";
// Far beyond any real reply (a long FEAT or HELP is a few kilobytes).
constexpr std::int64_t kMaxReplyBytes = 4 << 20;
constexpr std::int64_t kReplyLineOverhead = 32;
// How much of a reply without a valid code its error message shows.
constexpr std::size_t kShownReplyBytes = 120;

// What is left of a wait in ms: -2 (no limit) without a deadline, 0 once it has passed.
int millisecondsLeft(const std::optional<std::chrono::steady_clock::time_point>& deadline)
{
    if (!deadline)
        return TIdTCPConnection::kNoTimeout;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        *deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, std::numeric_limits<int>::max()));
}

std::string commandVerb(const std::string& line)
{
    const std::size_t end = line.find_first_of(std::string_view(" \r\n\0", 4));
    return line.substr(0, std::min<std::size_t>(end, 16));
}

} // namespace

TIdTCPConnection::TIdTCPConnection()
{
    m_pendingInput.OnRemove = [this](TIdSimpleBuffer&, std::int64_t count) {
        AddWork(TWorkMode::wkRead, count);
    };
}

TIdTCPConnection::~TIdTCPConnection()
{
    try {
        DropSocket();
    } catch (...) {
        // a destructor reports nothing
    }
}

void TIdTCPConnection::adoptIOHandler(std::unique_ptr<TIdIOHandler> handler)
{
    releaseOwnedIOHandler();
    m_ioHandler = handler.get();
    m_socket = dynamic_cast<TIdIOHandlerSocket*>(m_ioHandler);
    m_ownedIOHandler = std::move(handler);
}

void TIdTCPConnection::releaseOwnedIOHandler()
{
    if (!m_ownedIOHandler)
        return;
    if (m_ioHandler == m_ownedIOHandler.get()) {
        m_ioHandler = nullptr;
        m_socket = nullptr;
    }
    m_retiredIOHandlers.push_back(std::move(m_ownedIOHandler));
    if (m_busyDepth == 0)
        m_retiredIOHandlers.clear();
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler)
{
    releaseOwnedIOHandler();
    m_ioHandler = handler;
    m_socket = dynamic_cast<TIdIOHandlerSocket*>(handler);
}

void TIdTCPConnection::SetIOHandler(std::unique_ptr<TIdIOHandler> handler)
{
    adoptIOHandler(std::move(handler));
}

void TIdTCPConnection::DoOnDisconnected()
{
    fireEvent(OnDisconnected, this);
}

void TIdTCPConnection::ResetInput()
{
    m_pendingInput.Clear();
    m_closedByPeer = false;
    m_expectMore = false;
}

void TIdTCPConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer)
{
    TIdIOHandler* handler = m_ioHandler;
    if (handler == nullptr)
        return;
    bool closed;
    if (m_closedByPeer) {
        if (handler->IsOpen()) {
            DropSocket();
            ReportStatus(TIdStatus::stDisconnected);
            DoOnDisconnected();
        }
        closed = true;
    } else {
        closed = !handler->IsOpen();
    }
    if (closed && raiseIfClosed && (m_pendingInput.Size() == 0 || ignoreBuffer))
        throw EIdConnClosedGracefully();
}

bool TIdTCPConnection::IsConnected()
{
    CheckPeerClosed(false, false);
    return m_ioHandler != nullptr && m_ioHandler->IsOpen();
}

void TIdTCPConnection::CloseConnection()
{
    const bool connected = IsConnected();
    if (connected) {
        ReportStatus(TIdStatus::stDisconnecting);
        DropSocket();
    }
    releaseOwnedIOHandler();
    if (connected) {
        DoOnDisconnected();
        ReportStatus(TIdStatus::stDisconnected);
    }
}

void TIdTCPConnection::DropSocket()
{
    TIdIOHandler* handler = m_ioHandler;
    if (handler == nullptr)
        return;
    m_closedByPeer = true;
    m_expectMore = false;
    if (m_intercept != nullptr)
        m_intercept->HandleDisconnect();
    handler->CloseTransport();
}

// --- reading ---

// After a receive that filled the whole chunk more data is probably waiting: try a receive
// that does not block before paying for a readability wait. Answers -2 when it would block.
std::int64_t TIdTCPConnection::receiveChunk(TIdIOHandler& handler, bool& wouldBlock)
{
    wouldBlock = false;
    const std::int64_t size = socketReadSize();
    if (!m_expectMore || m_socket != &handler)
        return handler.ReceiveBytes(m_pendingInput.PrepareAppend(size), size);
    const std::int64_t n = m_socket->ReceiveBytesNow(m_pendingInput.PrepareAppend(size), size);
    if (n < 0 && SocketStack->lastCallError() == Id_WSAEWOULDBLOCK) {
        wouldBlock = true;
        m_expectMore = false;
        return 0;
    }
    return n;
}

// Hands the bytes just received at the tail of the input queue to the intercept and the
// filter, then keeps them queued.
void TIdTCPConnection::queueReceived(std::int64_t count)
{
    char* tail = m_pendingInput.Memory() + m_pendingInput.Size();
    if (m_intercept != nullptr) {
        std::string block(tail, static_cast<std::size_t>(count));
        m_intercept->HandleReceive(block);
        count = static_cast<std::int64_t>(block.size());
        tail = m_pendingInput.PrepareAppend(count);
        std::memcpy(tail, block.data(), block.size());
    }
    if (ASCIIFilter) {
        for (std::int64_t i = 0; i < count; ++i)
            tail[i] = static_cast<char>(tail[i] & 0x7F);
    }
    m_pendingInput.CommitAppend(count);
}

void TIdTCPConnection::handleReceiveError()
{
    // A shut-down or aborted socket counts as closed; any other error raises at once.
    if (SocketStack->CheckResult(-1, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED})) {
        const int error = SocketStack->LastError();
        DropSocket();
        if (m_pendingInput.Size() == 0)
            TIdStack::RaiseSocketFailure(error);
    }
}

std::int64_t TIdTCPConnection::FillInputBuffer(bool raiseIfClosed, int timeout, bool raiseOnTimeout)
{
    BusyScope busy(*this);
    if (timeout == kDefaultTimeout)
        timeout = ReadTimeout == 0 ? kNoTimeout : ReadTimeout;
    CheckPeerClosed(raiseIfClosed, false);
    if (!IsConnected()) {
        if (raiseIfClosed)
            throw EIdNotConnected(kNotConnected);
        return 0;
    }
    std::int64_t n = 0;
    do {
        bool wouldBlock = m_ioHandler == nullptr || !m_expectMore;
        if (m_ioHandler != nullptr && m_expectMore)
            n = receiveChunk(*m_ioHandler, wouldBlock);
        const bool waits = wouldBlock;
        if (wouldBlock) {
            if (m_ioHandler != nullptr && !m_ioHandler->WaitReadable(timeout)) {
                if (raiseOnTimeout)
                    throw EIdReadTimeout(kReadTimeout);
                return -1;
            }
            TIdIOHandler* handler = m_ioHandler; // the wait pumps: it may have been closed
            if (handler == nullptr) {
                if (raiseIfClosed)
                    throw EIdNotConnected(kNotConnected);
                return 0;
            }
            // Dropped by an event (an abort) after the wait had found data: a close like the
            // peer's, not a receive on a closed socket.
            if (!handler->IsOpen()) {
                CheckPeerClosed(raiseIfClosed, false);
                return 0;
            }
            n = receiveChunk(*handler, wouldBlock);
        }
        m_closedByPeer = n == 0;
        if (n < 0) {
            n = 0;
            handleReceiveError();
        } else {
            if (n > 0) {
                m_expectMore = n >= socketReadSize();
                queueReceived(n);
            }
            // No wait ran, so no pump either: give the window its turn (rate-limited), only
            // now that the bytes are queued, where an event that closes us finds them.
            if (!waits)
                TIdAntiFreezeBase::PumpIfDue(false);
        }
        CheckPeerClosed(raiseIfClosed, false);
    } while (n == 0 && IsConnected());
    return n;
}

// Searches the terminator in the bytes that arrived since the last pass (a few bytes back,
// so that a terminator split across two receives is still found). Answers its 1-based
// position, 0 while absent.
std::int64_t TIdTCPConnection::lineEnd(std::int64_t& searched, const std::string& terminator)
{
    const std::int64_t held = m_pendingInput.Size();
    if (held == 0)
        return 0;
    const std::int64_t from =
        std::max<std::int64_t>(0, searched - static_cast<std::int64_t>(terminator.size()) + 1);
    const std::int64_t found = FindInBuffer(terminator, m_pendingInput.Memory() + from, held - from);
    searched = held;
    return found == 0 ? 0 : from + found;
}

std::string TIdTCPConnection::overlongLine(int maxLength)
{
    if (MaxLineAction == TIdMaxLineAction::maException)
        throw EIdReadLnMaxLineLengthExceeded(kMaxLineExceeded);
    return m_pendingInput.Extract(std::min<std::int64_t>(maxLength, m_pendingInput.Size()));
}

std::string TIdTCPConnection::takeLine(std::int64_t terminatorPos, const std::string& terminator)
{
    std::int64_t length = terminatorPos - 1;
    const char* line = m_pendingInput.Memory();
    std::int64_t kept = length;
    if (terminator == "\n" && length > 0 && line[length - 1] == '\r')
        --kept;
    std::string result(line, static_cast<std::size_t>(kept));
    m_pendingInput.Remove(length + static_cast<std::int64_t>(terminator.size()));
    return result;
}

TIdTCPConnection::Deadline TIdTCPConnection::deadlineAfter(int timeout) const
{
    if (timeout == kDefaultTimeout)
        timeout = ReadTimeout == 0 ? kNoTimeout : ReadTimeout;
    if (timeout < 0)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeout);
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeout, int maxLength)
{
    return readLineBefore(terminator, deadlineAfter(timeout), maxLength, timeout == kDefaultTimeout);
}

// The deadline holds for the whole line: a peer that keeps sending without ever ending it
// (or ending it too late) does not keep the wait going.
std::string TIdTCPConnection::readLineBefore(const std::string& terminator, const Deadline& deadline,
                                             int maxLength, bool raiseOnTimeout)
{
    if (maxLength == -1)
        maxLength = MaxLineLength;
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    std::int64_t searched = 0;
    for (bool waited = false;; waited = true) {
        const std::int64_t pos = lineEnd(searched, term);
        if (maxLength != 0 && pos - 1 > maxLength)
            return overlongLine(maxLength);
        if (pos > 0)
            return takeLine(pos, term);
        if (maxLength != 0 && searched > maxLength)
            return overlongLine(maxLength);
        CheckPeerClosed(true, true);
        const int left = millisecondsLeft(deadline);
        if (waited && left == 0) {
            if (raiseOnTimeout)
                throw EIdReadTimeout(kReadTimeout);
            return std::string();
        }
        if (FillInputBuffer(true, left, raiseOnTimeout) == -1)
            return std::string();
    }
}

std::string TIdTCPConnection::ReadNonEmptyLine(std::int64_t tryCount)
{
    for (std::int64_t i = 0; i < tryCount; ++i) {
        const std::string line(Trim(ReadLine("\n", kDefaultTimeout, -1)));
        if (!line.empty())
            return line;
    }
    return std::string();
}

void TIdTCPConnection::ensureInput(std::int64_t count)
{
    while (m_pendingInput.Size() < count) {
        FillInputBuffer(true, kDefaultTimeout, true);
        CheckPeerClosed(true, true);
    }
}

void TIdTCPConnection::ReadBytes(void* destination, std::int64_t count)
{
    if (count <= 0 || destination == nullptr)
        return;
    ensureInput(count);
    std::memcpy(destination, m_pendingInput.Memory(), static_cast<std::size_t>(count));
    m_pendingInput.Remove(count);
}

// Stores what is queued, at most `remaining` bytes, as the last part of a stream: counted
// like every other chunk, so the work total matches the bytes stored.
void TIdTCPConnection::storeQueued(TIdStream& stream, std::int64_t remaining)
{
    const std::int64_t k = std::min(remaining, m_pendingInput.Size());
    if (k > 0)
        stream.Write(m_pendingInput.Memory(), k);
    m_pendingInput.Clear();
    if (k > 0)
        AddWork(TWorkMode::wkRead, k);
}

void TIdTCPConnection::readStreamBody(TIdStream& stream, std::int64_t remaining, bool untilClosed)
{
    // Bytes already queued first.
    std::int64_t k = std::min(remaining, m_pendingInput.Size());
    if (k > 0) {
        stream.Write(m_pendingInput.Memory(), k);
        m_pendingInput.Remove(k);
        remaining -= k;
    }
    while (remaining > 0 && IsConnected()) {
        k = std::min(remaining, receiveSize());
        try {
            ensureInput(k);
        } catch (const EIdConnClosedGracefully&) {
            if (!untilClosed)
                throw;
            // The peer closed: the last partial chunk is whatever is queued.
            storeQueued(stream, remaining);
            return;
        } catch (const EIdReadTimeout&) {
            // What did arrive is kept, so that a resume can start after it.
            storeQueued(stream, remaining);
            throw;
        }
        stream.Write(m_pendingInput.Memory(), k);
        m_pendingInput.Remove(k);
        remaining -= k;
    }
}

void TIdTCPConnection::ReadIntoStream(TIdStream& stream, std::int64_t count, bool untilClosed)
{
    BusyScope busy(*this);
    if (count == -1 && !untilClosed) {
        std::uint32_t prefix = 0;
        ReadBytes(&prefix, sizeof prefix);
        count = static_cast<std::int32_t>(ntohl(prefix));
    }
    if (count >= 0) {
        const std::int64_t position = stream.Position();
        stream.SetSize(position + count);
        stream.Seek(position);
    }
    StartWork(TWorkMode::wkRead, untilClosed ? 0 : count);
    const std::int64_t remaining = untilClosed ? std::numeric_limits<std::int64_t>::max() : count;
    auto finish = [&] {
        FinishWork(TWorkMode::wkRead);
        if (stream.Size() > stream.Position())
            stream.SetSize(stream.Position());
    };
    try {
        readStreamBody(stream, remaining, untilClosed);
    } catch (...) {
        try {
            finish();
        } catch (...) {
            // the first failure is the one to report
        }
        throw;
    }
    finish();
}

// --- writing ---

void TIdTCPConnection::sendAll(const char* data, std::int64_t count)
{
    std::int64_t sent = 0;
    while (sent < count) {
        TIdIOHandler* handler = m_ioHandler;
        if (handler == nullptr)
            throw EIdNotConnected(kNotConnected);
        const std::int64_t n = handler->SendBytesWithin(data + sent, count - sent,
                                                        ReadTimeout == 0 ? kNoTimeout : ReadTimeout);
        // A failed send is judged by its own error, read before the pump can run an event
        // whose socket calls would replace it.
        if (n < 0) {
            if (SocketStack->CheckResult(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET})) {
                const int error = SocketStack->LastError();
                DropSocket();
                TIdStack::RaiseSocketFailure(error);
            }
        }
        TIdAntiFreezeBase::PumpIfDue(false);
        m_closedByPeer = n == 0;
        CheckPeerClosed(true, false);
        AddWork(TWorkMode::wkWrite, n);
        sent += n;
    }
}

void TIdTCPConnection::SendBlock(const void* data, std::int64_t count)
{
    if (data == nullptr || count <= 0)
        return;
    BusyScope busy(*this);
    CheckPeerClosed(true, true);
    if (!IsConnected())
        throw EIdNotConnected(kNotConnected);
    if (m_intercept == nullptr) {
        sendAll(static_cast<const char*>(data), count);
        return;
    }
    std::string block(static_cast<const char*>(data), static_cast<std::size_t>(count));
    m_intercept->HandleSend(block);
    sendAll(block.data(), static_cast<std::int64_t>(block.size()));
}

void TIdTCPConnection::SendText(const std::string& text)
{
    if (!text.empty())
        SendBlock(text.data(), static_cast<std::int64_t>(text.size()));
}

void TIdTCPConnection::CheckCommandLine(const std::string& line)
{
    if (HoldsLineBreakOrNul(line))
        throw EIdException("The command \"" + commandVerb(line) +
                           "\" was not sent: it contains a line break (CR or LF) or a NUL "
                           "character, which would end it early.");
}

void TIdTCPConnection::SendLine(const std::string& line)
{
    CheckCommandLine(line);
    SendText(line + "\r\n");
}

void TIdTCPConnection::SendStream(TIdStream& stream, bool fromStart, bool withCountPrefix,
                                  std::int64_t size)
{
    BusyScope busy(*this);
    if (fromStart)
        stream.Seek(0);
    const std::int64_t end = size == 0 ? stream.Size() : stream.Position() + size;
    if (withCountPrefix) {
        const std::uint32_t prefix = htonl(static_cast<std::uint32_t>(end - stream.Position()));
        SendBlock(&prefix, sizeof prefix);
    }
    StartWork(TWorkMode::wkWrite, end - stream.Position());
    try {
        const std::int64_t chunk = SendBufferSize > 0 ? SendBufferSize : kDefaultBufferSize;
        std::vector<char> buffer(static_cast<std::size_t>(chunk));
        for (;;) {
            const std::int64_t k = std::min(end - stream.Position(), chunk);
            if (k <= 0)
                break;
            const std::int64_t got = stream.Read(buffer.data(), k);
            if (got == 0)
                throw EIdNoDataToRead(kNoDataToRead);
            SendBlock(buffer.data(), got);
        }
    } catch (...) {
        FinishWork(TWorkMode::wkWrite);
        throw;
    }
    FinishWork(TWorkMode::wkWrite);
}

// --- replies ---

std::int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& accepted)
{
    return readReplyWithin(accepted, kDefaultTimeout);
}

std::int16_t TIdTCPConnection::readReplyWithin(const TIdReplyCodes& accepted, int timeout)
{
    std::vector<std::string> lines;
    try {
        lines = readReplyLines(deadlineAfter(timeout));
    } catch (...) {
        abandonConnection();
        throw;
    }
    m_lastReply.LoadFromLines(lines);
    m_lastReplyLines = std::move(lines);
    return CheckReplyCode(static_cast<std::int16_t>(m_lastReply.NumericCode()), accepted);
}

std::vector<std::string> TIdTCPConnection::readReplyLines(const Deadline& deadline)
{
    std::int64_t held = 0;
    std::vector<std::string> lines{readReplyLine(deadline, held)};
    // "220-Welcome" opens a multi-line reply that ends with a line starting "220 ".
    if (lines.front().size() > 3 && lines.front()[3] == '-') {
        const std::string key = lines.front().substr(0, 3) + " ";
        for (;;) {
            lines.push_back(readReplyLine(deadline, held));
            // Only the code ends the reply: a short line inside it (" CCC" in a FEAT list)
            // is text; "211" alone is the end line with its blank trimmed.
            const std::string& line = lines.back();
            if (SameText(std::string_view(line).substr(0, 4), key) || line == key.substr(0, 3))
                break;
        }
    }
    return lines;
}

// The next line that is not blank once trimmed. Blank lines are skipped but counted, like
// every line with its bookkeeping: a server that never ends its reply, or sends nothing but
// line ends, must not fill the memory or keep the client reading.
std::string TIdTCPConnection::readReplyLine(const Deadline& deadline, std::int64_t& held)
{
    for (;;) {
        const std::string raw = readLineBefore("\n", deadline, -1, true);
        held += static_cast<std::int64_t>(raw.size()) + kReplyLineOverhead;
        if (held > kMaxReplyBytes)
            throw EIdException("The server's reply is too long (more than "
                               + std::to_string(kMaxReplyBytes) + " bytes).");
        std::string line(Trim(raw));
        if (!line.empty())
            return line;
    }
}

void TIdTCPConnection::abandonConnection()
{
    try {
        CloseConnection();
    } catch (...) {
        // the failure that made the connection unusable is the one to report
    }
}

std::int16_t TIdTCPConnection::CheckReplyCode(std::int16_t code, const TIdReplyCodes& accepted)
{
    if (!accepted.empty() && std::find(accepted.begin(), accepted.end(), code) == accepted.end())
        RaiseReplyError();
    return code;
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, const TIdReplyCodes& accepted)
{
    // A command from an event or the pump while this connection still sends or awaits
    // another would take (or cut into) the other command's reply.
    if (IsBusy())
        throw EIdException("The command \"" + commandVerb(line) +
                           "\" was not sent: another command is still in progress.");
    SendLine(line);
    return ReadReply(accepted);
}

std::int16_t TIdTCPConnection::SendCommand(const std::string& line, std::int16_t accepted)
{
    if (accepted == -1)
        return SendCommand(line, TIdReplyCodes{});
    return SendCommand(line, TIdReplyCodes{accepted});
}

void TIdTCPConnection::RaiseReplyError()
{
    const int code = m_lastReply.NumericCode();
    if (code < 100 || code > 599) {
        // No reply code, or one outside RFC 959's range: its text would be empty or make no
        // sense, so the message says what the server sent.
        const std::string sent = JoinLines(m_lastReplyLines, " ");
        throw EIdProtocolReplyError(code, "The server's reply has no valid reply code: \""
                                              + ShownText(sent, kShownReplyBytes) + "\"");
    }
    std::string message;
    for (const std::string& line : m_lastReply.Text())
        message += line + "\r\n";
    throw EIdProtocolReplyError(m_lastReply.NumericCode(), message);
}
