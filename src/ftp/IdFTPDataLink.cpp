// TIdFTP data connections: PASV and PORT, the passive client and the active listener, the
// command and reply order of a transfer, aborts, and the final replies.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"
#include "ftp/IdSimpleServer.h"
#include "net/IdIOHandlerSocket.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <optional>

namespace {

const TIdReplyCodes kTransferStartCodes{125, 150, 154};
const TIdReplyCodes kFinalCodes{225, 226, 250, 426, 450};

// The runtime's strict conversion: leading blanks and a sign, then decimal digits only.
int passiveField(const std::string& field)
{
    const std::optional<std::int64_t> value = ParseInteger(TrimLeft(field));
    if (!value || *value < INT32_MIN || *value > INT32_MAX)
        throw EConvertError("'" + field + "' is not a valid integer value");
    return static_cast<int>(*value);
}

void closeQuietly(TIdTCPConnection& link)
{
    try {
        link.CloseConnection();
    } catch (...) {
        // the transfer's own failure is the one to report
    }
}

// Fills the block from the stream in as few reads as the stream allows: one read of a whole
// block lets a file stream read straight into it instead of through its own buffer.
std::int64_t fillBlock(TIdStream& stream, std::int64_t end, std::vector<char>& block)
{
    const auto blockSize = static_cast<std::int64_t>(block.size());
    std::int64_t filled = 0;
    while (filled < blockSize) {
        const std::int64_t k = std::min(end - stream.Position(), blockSize - filled);
        if (k <= 0)
            break;
        const std::int64_t n = stream.Read(block.data() + filled, k);
        if (n <= 0)
            throw EIdNoDataToRead("No data to read.");
        filled += n;
    }
    return filled;
}

// Sends the stream from its start (or its position) to its end over the data connection in
// blocks of a whole number of SendBufferSize chunks, up to kUploadBlock bytes per send: a send
// of 4096 bytes (the window's chunk) costs the kernel almost as much as a large one, and an
// upload is nothing but sends. Work events then come once per block.
void sendDataStream(TIdTCPConnection& link, TIdStream& stream, bool fromStart)
{
    constexpr std::int64_t kUploadBlock = 262144;
    if (fromStart)
        stream.Seek(0);
    const std::int64_t end = stream.Size();
    const std::int64_t chunk = std::max(link.SendBufferSize, 1);
    const std::int64_t blockSize = std::max(chunk, kUploadBlock / chunk * chunk);
    std::vector<char> block(static_cast<std::size_t>(blockSize));
    link.StartWork(TWorkMode::wkWrite, end - stream.Position());
    try {
        for (;;) {
            const std::int64_t filled = fillBlock(stream, end, block);
            if (filled == 0)
                break;
            link.SendBlock(block.data(), filled);
        }
    } catch (...) {
        link.FinishWork(TWorkMode::wkWrite);
        throw;
    }
    link.FinishWork(TWorkMode::wkWrite);
}

} // namespace

// The data connection exists from its creation to the end of the transfer, on every path.
class TIdFTP::DataLinkScope {
public:
    explicit DataLinkScope(TIdFTP& session) : m_session(session) {}
    ~DataLinkScope() { m_session.m_dataLink.reset(); }
    DataLinkScope(const DataLinkScope&) = delete;
    DataLinkScope& operator=(const DataLinkScope&) = delete;

private:
    TIdFTP& m_session;
};

// --- data connections ---

TIdPassiveAddress ParsePassiveReply(const std::string& reply)
{
    // 227 Entering Passive Mode (127,0,0,1,195,80).   or, without parentheses,
    // 227 Entering Passive Mode 127,0,0,1,195,80
    const std::string text(Trim(reply));
    std::string fields;
    const std::size_t open = text.find('(');
    const std::size_t close = text.find(')');
    if (open != std::string::npos && close != std::string::npos)
        fields = close > open ? text.substr(open + 1, close - open - 1) : std::string();
    else
        fields = text.substr(static_cast<std::size_t>(LastPos(" ", text)));
    TIdPassiveAddress address;
    for (int i = 0; i < 4; ++i)
        address.Host += (i == 0 ? "" : ".") + SplitToken(fields, ",");
    const std::int64_t high = passiveField(SplitToken(fields, ","));
    const std::int64_t low = passiveField(SplitToken(fields, ","));
    // Worked out in 64 bits: fields far beyond a byte must not wrap round to a valid port.
    const std::int64_t port = 256 * high + low;
    if (port < 1 || port > 65535)
        throw EIdException("The server's passive mode answer names no usable port ("
                           + std::to_string(port) + ").");
    address.Port = static_cast<int>(port);
    return address;
}

TIdPassiveAddress TIdFTP::RequestPassive()
{
    SendCommand("PASV", TIdReplyCodes{227});
    return ParsePassiveReply(LastReply().Text().empty() ? std::string() : LastReply().Text().front());
}

void TIdFTP::AnnouncePort(const TIdSocketHandle& binding)
{
    std::string address = binding.IP;
    for (char& c : address)
        if (c == '.')
            c = ',';
    SendCommand("PORT " + address + "," + std::to_string(binding.Port / 256) + ","
                    + std::to_string(binding.Port % 256),
                TIdReplyCodes{200});
}

void TIdFTP::PrepareDataLink(TIdTCPConnection& link)
{
    link.SendBufferSize = SendBufferSize;
    link.RecvBufferSize = RecvBufferSize;
    link.OnWork = OnWork;
    link.OnWorkBegin = OnWorkBegin;
    link.OnWorkEnd = OnWorkEnd;
}

std::string TIdFTP::peerAddress() const
{
    if (Socket() != nullptr && Socket()->Binding() != nullptr && !Socket()->Binding()->PeerIP().empty())
        return Socket()->Binding()->PeerIP();
    return Host;
}

// The passive data connection goes to the server we are talking to, whatever address the
// PASV answer named: otherwise a server could make the client connect anywhere.
TIdTCPClient& TIdFTP::openPassiveLink(int port)
{
    auto link = std::make_unique<TIdTCPClient>();
    if (Socket() != nullptr) {
        auto handler = std::make_unique<TIdIOHandlerSocket>();
        handler->SocksInfo() = Socket()->SocksInfo();
        link->SetIOHandler(std::move(handler));
    }
    PrepareDataLink(*link);
    link->Host = peerAddress();
    link->Port = port;
    TIdTCPClient& client = *link;
    m_dataLink = std::move(link);
    client.OpenConnection(-1);
    return client;
}

TIdSimpleServer& TIdFTP::listenActiveLink()
{
    auto server = std::make_unique<TIdSimpleServer>();
    PrepareDataLink(*server);
    if (Socket() != nullptr && Socket()->Binding() != nullptr) {
        server->BoundIP = Socket()->Binding()->IP;
        server->AllowedPeerIP = Socket()->Binding()->PeerIP();
    }
    server->AcceptTimeout = kAcceptTimeout;
    TIdSimpleServer& listener = *server;
    m_dataLink = std::move(server);
    listener.StartListening();
    return listener;
}

void TIdFTP::sendRestart(const TIdStream& stream)
{
    SendCommand("REST " + std::to_string(stream.Position()), TIdReplyCodes{350});
}

// --- running transfers ---

void TIdFTP::receivePassive(const std::string& command, TIdStream& stream, bool resume)
{
    const TIdPassiveAddress address = RequestPassive();
    DataLinkScope scope(*this);
    TIdTCPClient& link = openPassiveLink(address.Port);
    try {
        if (resume)
            sendRestart(stream);
        SendLine(command);
        ReadReply(kTransferStartCodes);
        link.ReadIntoStream(stream, -1, true);
    } catch (...) {
        closeQuietly(link);
        throw;
    }
    link.CloseConnection();
}

void TIdFTP::receiveActive(const std::string& command, TIdStream& stream, bool resume)
{
    DataLinkScope scope(*this);
    TIdSimpleServer& server = listenActiveLink();
    AnnouncePort(*server.ListenBinding());
    if (resume)
        sendRestart(stream);
    SendCommand(command, kTransferStartCodes);
    if (!server.AcceptOne())
        throw EIdAcceptTimeout();
    server.ReadIntoStream(stream, -1, true);
}

// A second transfer started from a pumped event would replace the data connection that the
// running one is still reading.
void TIdFTP::refuseNestedTransfer() const
{
    if (m_dataLink)
        throw EIdException("Another transfer is still running on this session.");
}

// The frame every transfer shares: one at a time, "Starting FTP transfer" and "Transfer
// complete" on every path, the final replies after a transfer that ended without an exception,
// and after one that failed following ABOR, the answers to both read and set aside.
void TIdFTP::runTransfer(const std::string& command, const std::function<void()>& transfer)
{
    checkArgument(command, "command");
    refuseNestedTransfer();
    m_abortSent = false;
    ReportStatus(TIdStatus::stTransferStart, "Starting FTP transfer");
    try {
        transfer();
    } catch (...) {
        ReportStatus(TIdStatus::stTransferDone, "Transfer complete");
        if (m_abortSent)
            drainAbortedTransferReplies();
        throw;
    }
    ReportStatus(TIdStatus::stTransferDone, "Transfer complete");
    readFinalReplies();
}

void TIdFTP::ReceiveTransfer(const std::string& command, TIdStream& stream, bool resume)
{
    runTransfer(command, [&] {
        if (Passive)
            receivePassive(command, stream, resume);
        else
            receiveActive(command, stream, resume);
    });
}

void TIdFTP::sendPassive(const std::string& command, TIdStream& stream, bool fromStart)
{
    const TIdPassiveAddress address = RequestPassive();
    SendLine(command);
    DataLinkScope scope(*this);
    TIdTCPClient& link = openPassiveLink(address.Port);
    try {
        ReadReply(TIdReplyCodes{110, 125, 150});
        try {
            sendDataStream(link, stream, fromStart);
        } catch (const EIdSocketError& error) {
            if (error.LastError() != 10038) // the data socket was dropped by SendAbort
                throw;
        }
    } catch (...) {
        closeQuietly(link);
        throw;
    }
    link.CloseConnection();
}

void TIdFTP::sendActive(const std::string& command, TIdStream& stream, bool fromStart)
{
    DataLinkScope scope(*this);
    TIdSimpleServer& server = listenActiveLink();
    AnnouncePort(*server.ListenBinding());
    SendCommand(command, TIdReplyCodes{125, 150});
    if (!server.AcceptOne())
        throw EIdAcceptTimeout();
    sendDataStream(server, stream, fromStart);
}

void TIdFTP::SendTransfer(const std::string& command, TIdStream& stream, bool fromStart)
{
    runTransfer(command, [&] {
        if (Passive)
            sendPassive(command, stream, fromStart);
        else
            sendActive(command, stream, fromStart);
    });
}

bool TIdFTP::replyPending(int timeoutMs)
{
    if (InputBuffer().Size() > 0)
        return true;
    if (!IsConnected())
        return false;
    return FillInputBuffer(false, timeoutMs, false) > 0 || InputBuffer().Size() > 0;
}

// 426 (or 450) then 226/225 is the answer to an aborted transfer. After ABOR the server
// always answers twice (RFC 959, 4.1.3): when the transfer had already ended, its 226 comes
// first and the answer to ABOR follows, which must not be left for the next command to read.
void TIdFTP::readFinalReplies()
{
    const bool abortSent = m_abortSent;
    m_abortSent = false;
    const int code = ReadReply(kFinalCodes);
    if (code == 426 || code == 450) {
        // Without our ABOR, a lone 426 is the server failing the transfer: no 226 follows.
        if (!abortSent && !replyPending(kSecondReplyWaitMs))
            RaiseReplyError();
        ReadReply(TIdReplyCodes{226, 225});
        ReportStatus(TIdStatus::stTransferAborted, "Transfer aborted");
    } else if (abortSent && replyPending(kAbortReplyWaitMs)) {
        ReadReply(TIdReplyCodes{});
    }
}

// An aborted upload fails on the dropped socket (and a download aborted before its data
// connection came fails too); the answers to the transfer and to ABOR are read here so that
// the next command does not take them for its own.
void TIdFTP::drainAbortedTransferReplies()
{
    m_abortSent = false;
    try {
        for (int i = 0; i < 2 && replyPending(kAbortReplyWaitMs); ++i)
            ReadReply(TIdReplyCodes{});
    } catch (...) {
        // the upload's own failure is the one to report
    }
}
