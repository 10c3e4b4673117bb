// One TCP connection with buffered reading and writing: lines with a terminator and a length
// limit, numeric RFC 959 replies, exact byte counts and whole streams. It carries both the
// FTP command connection (lines and replies) and each data connection (streams).
#pragma once

#include "ftp/IdBuffers.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdStream.h"
#include "net/IdComponent.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIdConnectionIntercept;
class TIdIOHandler;
class TIdIOHandlerSocket;

enum class TIdMaxLineAction { maException, maSplit };

using TNotifyEvent = std::function<void(TIdComponent* Sender)>;
// Accepted reply codes; an empty list accepts every code.
using TIdReplyCodes = std::vector<std::int16_t>;

class TIdTCPConnection : public TIdComponent {
public:
    static constexpr int kDefaultMaxLineLength = 16384;
    static constexpr int kDefaultBufferSize = 32768;
    // Time-out arguments: -1 the connection's default (ReadTimeout), -2 no limit.
    static constexpr int kDefaultTimeout = -1;
    static constexpr int kNoTimeout = -2;

    TIdTCPConnection();
    // Drops the socket; never talks to the peer.
    ~TIdTCPConnection() override;

    // --- properties ---
    bool ASCIIFilter = false;           // clear bit 7 of every received byte
    int MaxLineLength = kDefaultMaxLineLength; // 0: no limit
    TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
    // ms; 0 waits without limit. Also bounds a whole reply (however many lines arrive) and
    // the wait for room to send.
    int ReadTimeout = 0;
    int RecvBufferSize = kDefaultBufferSize; // per receive, and the ReadIntoStream chunk
    int SendBufferSize = kDefaultBufferSize; // the SendStream chunk
    TNotifyEvent OnDisconnected;

    // Not owned; may be attached and detached at any time (detach before destroying it).
    TIdConnectionIntercept* Intercept() const { return m_intercept; }
    void SetIntercept(TIdConnectionIntercept* intercept) { m_intercept = intercept; }
    // The transport; created on demand by OpenConnection. Assigning one releases an owned
    // handler first. The unique_ptr form hands ownership over (e.g. an accepted data socket).
    TIdIOHandler* IOHandler() const { return m_ioHandler; }
    void SetIOHandler(TIdIOHandler* handler);
    void SetIOHandler(std::unique_ptr<TIdIOHandler> handler);
    bool OwnsIOHandler() const { return m_ownedIOHandler != nullptr; }
    // The I/O handler when it is a socket handler (its Binding() has the peer address).
    TIdIOHandlerSocket* Socket() const { return m_socket; }

    TIdRFCReply& LastReply() { return m_lastReply; }
    const TIdRFCReply& LastReply() const { return m_lastReply; }
    // The last reply's lines as read (trimmed): lines that carry no code (the feature list
    // of FEAT) are whole here, where LastReply's text has lost their first four characters.
    const std::vector<std::string>& LastReplyLines() const { return m_lastReplyLines; }
    TIdRFCReply& GreetingReply() { return m_greetingReply; }
    // Bytes received and not yet consumed.
    TIdManagedBuffer& InputBuffer() { return m_pendingInput; }
    bool ClosedByPeer() const { return m_closedByPeer; }

    // --- state ---
    virtual void DoOnDisconnected();
    // Empties the input queue and forgets a peer close.
    virtual void ResetInput();
    // Notices a peer close (drops the socket, "Disconnected.", OnDisconnected) and raises
    // EIdConnClosedGracefully when asked and nothing (or, with ignoreBuffer, nothing usable)
    // is queued.
    virtual void CheckPeerClosed(bool raiseIfClosed = true, bool ignoreBuffer = false);
    virtual bool IsConnected();
    // Orderly close with the Disconnecting/Disconnected statuses and OnDisconnected.
    virtual void CloseConnection();
    // Immediate close, no events; safe to call from a work handler during a read or write.
    virtual void DropSocket();

    // --- reading ---
    // Receives one chunk into the input queue: the byte count, or -1 when the time-out
    // passed and raiseOnTimeout is false.
    virtual std::int64_t FillInputBuffer(bool raiseIfClosed = true, int timeout = kDefaultTimeout,
                                         bool raiseOnTimeout = true);
    // One line without its terminator; a CR before an LF terminator is dropped too. With the
    // default time-out, expiry raises "Read Timeout"; with an explicit one it returns "".
    // maxLength -1: MaxLineLength; the CR of a CR LF counts towards it.
    virtual std::string ReadLine(const std::string& terminator = "\n", int timeout = kDefaultTimeout,
                                 int maxLength = -1);
    // The first line that is not blank after trimming, within tryCount lines; "" otherwise.
    std::string ReadNonEmptyLine(std::int64_t tryCount);
    void ReadBytes(void* destination, std::int64_t count);
    // Reads `count` bytes (-1 without untilClosed: a 32-bit network-order count first) or,
    // with untilClosed, everything until the peer closes, into the stream at its position.
    // Work events bracket it (wkRead); the stream is cut at its final position.
    void ReadIntoStream(TIdStream& stream, std::int64_t count = -1, bool untilClosed = false);

    // --- writing ---
    virtual void SendBlock(const void* data, std::int64_t count);
    virtual void SendText(const std::string& text);
    // Sends the line and CR LF. Refuses (EIdException, nothing sent) a line that holds
    // CR, LF or NUL: such bytes would smuggle a second command onto the connection.
    virtual void SendLine(const std::string& line);
    // Sends the stream from its start (or position) to its end (or `size` bytes) in chunks
    // of SendBufferSize, bracketed by work events (wkWrite).
    virtual void SendStream(TIdStream& stream, bool fromStart = true, bool withCountPrefix = false,
                            std::int64_t size = 0);

    // --- replies ---
    // Reads one reply (multi-line "123-" ... "123 " included) into LastReply and checks it.
    // A reply that cannot be read whole (too long, not ended within ReadTimeout, cut off)
    // closes the connection before the exception leaves: its rest would otherwise be taken
    // as the next command's reply.
    virtual std::int16_t ReadReply(const TIdReplyCodes& accepted);
    virtual std::int16_t CheckReplyCode(std::int16_t code, const TIdReplyCodes& accepted);
    // SendLine, then ReadReply.
    virtual std::int16_t SendCommand(const std::string& line, const TIdReplyCodes& accepted);
    // accepted -1: any code.
    std::int16_t SendCommand(const std::string& line, std::int16_t accepted = -1);
    // Raises EIdProtocolReplyError with LastReply's code and text.
    [[noreturn]] virtual void RaiseReplyError();

    // The refusal SendLine applies: EIdException when the line holds CR, LF or NUL.
    static void CheckCommandLine(const std::string& line);

    // A blocking operation (connect, accept, wait, read, send) is in progress on this
    // connection further up the call stack: whatever runs now came from an event or the pump.
    bool IsBusy() const { return m_busyDepth > 0; }

protected:
    // ReadReply with its own limit for the whole reply (ms; -1: ReadTimeout, -2: none).
    std::int16_t readReplyWithin(const TIdReplyCodes& accepted, int timeout);
    // Closes the connection after a failure that left it unusable; reports nothing more.
    void abandonConnection();

    // Counts the blocking operations in progress, so that a handler released by a nested
    // event outlives the outer call that still holds it.
    class BusyScope {
    public:
        explicit BusyScope(TIdTCPConnection& connection) : m_connection(connection)
        {
            ++m_connection.m_busyDepth;
        }
        ~BusyScope() { --m_connection.m_busyDepth; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TIdTCPConnection& m_connection;
    };
    // Makes `handler` the owned transport.
    void adoptIOHandler(std::unique_ptr<TIdIOHandler> handler);
    // Releases an owned handler; kept alive while an operation further up the stack may
    // still use it (a pumped event can close the connection during a read).
    void releaseOwnedIOHandler();

private:
    using Clock = std::chrono::steady_clock;
    // When a wait must end; none for no limit.
    using Deadline = std::optional<Clock::time_point>;
    // -1: ReadTimeout (0: none), -2: none, else ms from now.
    Deadline deadlineAfter(int timeout) const;
    std::string readLineBefore(const std::string& terminator, const Deadline& deadline,
                               int maxLength, bool raiseOnTimeout);
    std::vector<std::string> readReplyLines(const Deadline& deadline);
    std::string readReplyLine(const Deadline& deadline, std::int64_t& held);
    std::int64_t receiveSize() const { return RecvBufferSize > 0 ? RecvBufferSize : kDefaultBufferSize; }
    // Bytes asked of the socket per receive call. Streams are still written and counted in
    // chunks of the receive buffer size; a larger socket read only saves system calls, which
    // dominate a fast download with small chunks.
    std::int64_t socketReadSize() const { return std::max<std::int64_t>(receiveSize(), kSocketReadSize); }
    static constexpr std::int64_t kSocketReadSize = 65536;
    std::int64_t receiveChunk(TIdIOHandler& handler, bool& wouldBlock);
    void queueReceived(std::int64_t count);
    void handleReceiveError();
    std::int64_t lineEnd(std::int64_t& searched, const std::string& terminator);
    std::string takeLine(std::int64_t terminatorPos, const std::string& terminator);
    std::string overlongLine(int maxLength);
    void ensureInput(std::int64_t count);
    void readStreamBody(TIdStream& stream, std::int64_t remaining, bool untilClosed);
    void storeQueued(TIdStream& stream, std::int64_t remaining);
    void sendAll(const char* data, std::int64_t count);

    TIdManagedBuffer m_pendingInput;
    bool m_closedByPeer = false;
    TIdRFCReply m_lastReply;
    std::vector<std::string> m_lastReplyLines;
    TIdRFCReply m_greetingReply;
    TIdConnectionIntercept* m_intercept = nullptr;
    TIdIOHandler* m_ioHandler = nullptr;
    TIdIOHandlerSocket* m_socket = nullptr;
    std::unique_ptr<TIdIOHandler> m_ownedIOHandler;
    std::vector<std::unique_ptr<TIdIOHandler>> m_retiredIOHandlers;
    int m_busyDepth = 0;
    // The last receive filled the chunk: more is probably waiting, so try without a wait.
    bool m_expectMore = false;
};
