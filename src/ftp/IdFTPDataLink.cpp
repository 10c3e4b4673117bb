// TIdFTP data connections: PASV and PORT, the passive client and the active listener, the
// command and reply order of a transfer, aborts, and the final replies.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"
#include "ftp/IdSimpleServer.h"
#include "net/IdSSLOpenSSL.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <optional>

namespace {

const TIdReplyCodes kTransferStartCodes{125, 150, 154};
const TIdReplyCodes kFinalCodes{225, 226, 250, 426, 450};
// More replies than any transfer and ABOR produce: a server that keeps answering is not
// followed any further.
constexpr int kMaxOwedReplies = 16;

bool isAbortedCode(int code)
{
    return code == 426 || code == 450;
}

bool isAbortAnswer(int code)
{
    return code == 225 || code == 226;
}

bool isPreliminary(int code)
{
    return code >= 100 && code < 200;
}

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
std::int64_t fillBlock(TIdStream& stream, std::int64_t end, char* block, std::int64_t blockSize)
{
    std::int64_t filled = 0;
    while (filled < blockSize) {
        const std::int64_t k = std::min(end - stream.Position(), blockSize - filled);
        if (k <= 0)
            break;
        const std::int64_t n = stream.Read(block + filled, k);
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
    // A file smaller than a block needs no more room than itself; nothing is cleared first.
    const std::int64_t blockSize =
        std::min(std::max(chunk, kUploadBlock / chunk * chunk), std::max<std::int64_t>(end - stream.Position(), 1));
    const auto block = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(blockSize));
    link.StartWork(TWorkMode::wkWrite, end - stream.Position());
    try {
        for (;;) {
            const std::int64_t filled = fillBlock(stream, end, block.get(), blockSize);
            if (filled == 0)
                break;
            link.SendBlock(block.get(), filled);
        }
    } catch (...) {
        link.FinishWork(TWorkMode::wkWrite);
        throw;
    }
    link.FinishWork(TWorkMode::wkWrite);
}

} // namespace

// The transfer's bookkeeping lives from its start to its end, on every path.
class TIdFTP::TransferScope {
public:
    explicit TransferScope(TIdFTP& session) : m_session(session)
    {
        m_session.m_phase = TransferPhase::Preparing;
        m_session.m_abortRequested = false;
        m_session.m_abortSent = false;
        m_session.m_dataCut = false;
        m_session.m_lastTransferAborted = false;
    }
    ~TransferScope() { m_session.m_phase = TransferPhase::Idle; }
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;

private:
    TIdFTP& m_session;
};

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

int ParseExtendedPassiveReply(const std::string& reply)
{
    // 229 Entering Extended Passive Mode (|||6446|)   (RFC 2428: any delimiter, the
    // network and address fields empty)
    const std::size_t open = reply.find('(');
    const std::size_t close = reply.find(')', open == std::string::npos ? 0 : open);
    const std::string fields = open != std::string::npos && close != std::string::npos
                                 ? reply.substr(open + 1, close - open - 1)
                                 : std::string();
    const bool framed = fields.size() >= 5 && fields[0] == fields[1] && fields[1] == fields[2]
                     && fields.back() == fields[0];
    const auto port = framed ? ParseInteger(std::string_view(fields).substr(3, fields.size() - 4))
                             : std::nullopt;
    if (!port || *port < 1 || *port > 65535)
        throw EIdException("The server's extended passive mode answer names no usable port ("
                           + std::string(Trim(reply)) + ").");
    return static_cast<int>(*port);
}

TIdPassiveAddress TIdFTP::RequestPassive()
{
    SendCommand("PASV", TIdReplyCodes{227});
    return ParsePassiveReply(LastReply().Text().empty() ? std::string() : LastReply().Text().front());
}

int TIdFTP::requestExtendedPassive()
{
    SendCommand("EPSV", TIdReplyCodes{229});
    return ParseExtendedPassiveReply(LastReply().Text().empty() ? std::string() : LastReply().Text().front());
}

bool TIdFTP::UsesExtendedPassive() const
{
    return m_useExtendedPassive || peerAddress().find(':') != std::string::npos;
}

// PASV where it works, as always on IPv4; EPSV on IPv6, and on IPv4 once the server refused
// PASV with a permanent error (a firewall or NAT that only passes EPSV). Only the port is
// used: the data connection goes to the command connection's peer either way.
int TIdFTP::passivePort()
{
    if (UsesExtendedPassive())
        return requestExtendedPassive();
    try {
        return RequestPassive().Port;
    } catch (const EIdProtocolReplyError& error) {
        if (error.ReplyErrorCode() < 500 || error.ReplyErrorCode() > 599)
            throw;
    }
    const int port = requestExtendedPassive();
    m_useExtendedPassive = true;
    return port;
}

void TIdFTP::AnnouncePort(const TIdSocketHandle& binding)
{
    if (binding.IP.find(':') != std::string::npos) {
        // RFC 2428: "EPRT |2|::1|50123|", the address family 2 for IPv6.
        SendCommand("EPRT |2|" + binding.IP + "|" + std::to_string(binding.Port) + "|", TIdReplyCodes{200});
        return;
    }
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
    // A data connection that moves nothing for this long ends the transfer.
    link.ReadTimeout = ReadTimeout;
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
    if (Socket() != nullptr)
        link->SetIOHandler(makeDataHandler());
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
    server->AcceptTimeout = AcceptTimeout;
    server->MakeHandler = [this] { return makeDataHandler(); };
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

void TIdFTP::checkAbortRequested() const
{
    if (m_abortRequested)
        throw EIdFTPTransferAborted();
}

void TIdFTP::sendTransferCommand(const std::string& command)
{
    checkAbortRequested();
    m_phase = TransferPhase::CommandSent;
    SendLine(command);
}

void TIdFTP::readTransferStart(const TIdReplyCodes& accepted)
{
    try {
        ReadReply(accepted);
    } catch (const EIdProtocolReplyError&) {
        m_phase = TransferPhase::Refused;
        throw;
    }
    m_transferStartReply.Assign(LastReply());
}

void TIdFTP::acceptDataConnection(TIdSimpleServer& server)
{
    // Aborted while the transfer command was answered: the listener is gone already.
    checkAbortRequested();
    if (!server.AcceptOne())
        throw EIdAcceptTimeout();
}

void TIdFTP::receivePassive(const std::string& command, TIdStream& stream, bool resume)
{
    const int port = passivePort();
    checkAbortRequested();
    DataLinkScope scope(*this);
    TIdTCPClient& link = openPassiveLink(port);
    try {
        if (resume)
            sendRestart(stream);
        sendTransferCommand(command);
        readTransferStart(kTransferStartCodes);
        secureDataLink(link);
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
    sendTransferCommand(command);
    readTransferStart(kTransferStartCodes);
    acceptDataConnection(server);
    secureDataLink(server);
    server.ReadIntoStream(stream, -1, true);
}

// A second transfer started from a pumped event would replace the data connection that the
// running one is still reading, or cross its final replies.
void TIdFTP::refuseNestedTransfer() const
{
    if (m_phase != TransferPhase::Idle)
        throw EIdException("Another transfer is still running on this session.");
}

// The frame every transfer shares: one at a time, "Starting FTP transfer", then the replies the
// transfer is owed, so that the next command always reads its own reply. "Transfer complete"
// comes only once the server confirmed the whole transfer: never after an abort, a failure on
// either side, or a server that went away before its final reply.
void TIdFTP::runTransfer(const std::string& command, TransferDirection direction,
                         const std::function<void()>& transfer, const TransferCheck& check)
{
    checkArgument(command, "command");
    refuseNestedTransfer();
    bool completed = false;
    {
        TransferScope scope(*this);
        ReportStatus(TIdStatus::stTransferStart, "Starting FTP transfer");
        std::exception_ptr failure;
        try {
            transfer();
        } catch (...) {
            failure = std::current_exception();
        }
        completed = endTransfer(direction, failure);
    }
    // The check (the stored size, the bytes received) runs once the session is idle again,
    // so its own command is an ordinary one; a transfer it fails is never called complete.
    if (!completed)
        return;
    if (check)
        check();
    ReportStatus(TIdStatus::stTransferDone, "Transfer complete");
}

// After an abort or a failure, every reply the transfer and ABOR produced is read before the
// call ends; a failure on our side (a full disk, a stalled data connection, a data connection
// that could not be made) first tells the server with ABOR. Where that cannot be done the
// connection is closed rather than left out of step.
bool TIdFTP::endTransfer(TransferDirection direction, std::exception_ptr failure)
{
    const bool abortRequested = m_abortRequested;
    if (!failure && !abortRequested)
        return readFinalReplies(direction);
    m_dataCut = m_dataCut || failure != nullptr;
    std::vector<int> codes;
    if (m_phase == TransferPhase::CommandSent || m_abortSent) {
        if (!IsConnected()) {
            if (failure)
                std::rethrow_exception(failure);
            throw EIdConnClosedGracefully();
        }
        try {
            if (!m_abortSent)
                sendAbortCommand();
            codes = resynchronise();
        } catch (...) {
            if (failure)
                std::rethrow_exception(failure);
            throw;
        }
    }
    if (!abortRequested)
        std::rethrow_exception(failure);
    return settleAbort(direction, codes);
}

void TIdFTP::ReceiveTransfer(const std::string& command, TIdStream& stream, bool resume,
                             const TransferCheck& check)
{
    runTransfer(command, TransferDirection::Receive, [&] {
        if (Passive)
            receivePassive(command, stream, resume);
        else
            receiveActive(command, stream, resume);
    }, check);
}

void TIdFTP::sendPassive(const std::string& command, TIdStream& stream, bool fromStart)
{
    const int port = passivePort();
    sendTransferCommand(command);
    DataLinkScope scope(*this);
    TIdTCPClient& link = openPassiveLink(port);
    try {
        readTransferStart(TIdReplyCodes{110, 125, 150});
        secureDataLink(link);
        sendDataStream(link, stream, fromStart);
        if (!m_abortRequested)
            endDataLink(link);
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
    sendTransferCommand(command);
    readTransferStart(TIdReplyCodes{125, 150});
    acceptDataConnection(server);
    secureDataLink(server);
    sendDataStream(server, stream, fromStart);
    if (!m_abortRequested)
        endDataLink(server);
}

void TIdFTP::SendTransfer(const std::string& command, TIdStream& stream, bool fromStart,
                          const TransferCheck& check)
{
    runTransfer(command, TransferDirection::Send, [&] {
        if (Passive)
            sendPassive(command, stream, fromStart);
        else
            sendActive(command, stream, fromStart);
    }, check);
}

// The transfer's own final reply; a second preliminary reply (some servers send statistics
// as a 150) is passed over.
TIdRFCReply TIdFTP::readFinalReply()
{
    for (int i = 0; i < kMaxOwedReplies; ++i) {
        if (!isPreliminary(ReadReply(TIdReplyCodes{})))
            return LastReply();
    }
    abandonConnection();
    throw EIdException("The server sent no final reply for the transfer.");
}

// 226 (or 225, 250) ends a transfer. 426 or 450 is the server failing it: a 226 or 225 may
// follow (RFC 959 4.1.3: the answer that closes the data connection), which then makes it an
// abort the server confirmed. ABOR sent meanwhile (from the pump) is owed an answer too.
bool TIdFTP::readFinalReplies(TransferDirection direction)
{
    m_phase = TransferPhase::Ending;
    const TIdRFCReply final = readFinalReply();
    const int code = final.NumericCode();
    if (!m_abortSent && !isAbortedCode(code)) {
        CheckReplyCode(static_cast<std::int16_t>(code), kFinalCodes);
        return true;
    }
    std::vector<int> codes{code};
    for (int later : resynchronise())
        codes.push_back(later);
    if (m_abortSent)
        return settleAbort(direction, codes);
    if (std::none_of(codes.begin() + 1, codes.end(), isAbortAnswer)) {
        LastReply().Assign(final);
        RaiseReplyError();
    }
    reportAborted();
    return false;
}

// Brings the command connection back in step: NOOP goes out and every reply is read up to
// its 200, which no transfer or ABOR reply ever is. Answers the codes read before it. A
// server that does not answer in time, or keeps answering, loses the connection.
std::vector<int> TIdFTP::resynchronise()
{
    if (m_phase != TransferPhase::Idle)
        m_phase = TransferPhase::Resyncing;
    SendLine("NOOP");
    const int timeout = ReadTimeout > 0 ? ReadTimeout : kResyncReplyTimeout;
    std::vector<int> codes;
    for (int i = 0; i <= kMaxOwedReplies; ++i) {
        const int code = readReplyWithin(TIdReplyCodes{}, timeout);
        if (code == 200)
            return codes;
        codes.push_back(code);
    }
    abandonConnection();
    throw EIdException("The server's replies after the transfer could not be brought into step.");
}

// The outcome of a transfer the user aborted. The transfer counts as complete only when its
// data had ended by itself and the server's first final reply says it succeeded (the answer
// to ABOR then follows); otherwise it was aborted.
bool TIdFTP::settleAbort(TransferDirection direction, const std::vector<int>& codes)
{
    std::vector<int> finals;
    std::copy_if(codes.begin(), codes.end(), std::back_inserter(finals),
                 [](int code) { return !isPreliminary(code); });
    const bool completed = !m_dataCut && !finals.empty() && (finals[0] == 226 || finals[0] == 250)
        && std::none_of(finals.begin(), finals.end(), isAbortedCode);
    if (completed)
        return true;
    reportAborted();
    if (direction == TransferDirection::Send)
        throw EIdFTPTransferAborted();
    return false;
}

void TIdFTP::reportAborted()
{
    m_lastTransferAborted = true;
    ReportStatus(TIdStatus::stTransferAborted, "Transfer aborted");
}
