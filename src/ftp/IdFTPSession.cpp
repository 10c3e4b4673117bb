// TIdFTP session commands: opening and closing, the login schemes, and the operations that
// are one command and one reply.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"
#include "net/IdIOHandler.h"
#include "net/IdSSLOpenSSL.h"

namespace {

// "USER %s@%s@%s"
std::string joinAt(const std::string& a, const std::string& b)
{
    return a + "@" + b;
}

} // namespace

void TIdFTP::checkArgument(const std::string& argument, const char* what)
{
    // Such bytes would end the command early and smuggle a second one onto the connection.
    if (HoldsLineBreakOrNul(argument))
        throw EIdException(std::string("The ") + what
                           + " contains a line break (CR or LF) or a NUL character and cannot "
                             "be sent to the server.");
}

TIdFTP::TIdFTP()
{
    Port = kDefaultPort;
}

TIdFTP::~TIdFTP() = default;

void TIdFTP::checkLoginArguments() const
{
    checkArgument(Username(), "user name");
    checkArgument(Password(), "password");
    checkArgument(Host, "host name");
    checkArgument(ProxySettings.UserName, "proxy user name");
    checkArgument(ProxySettings.Password, "proxy password");
}

void TIdFTP::OpenSession(bool autoLogin, int timeout)
{
    if (autoLogin)
        checkLoginArguments();
    const std::string savedHost = Host;
    const int savedPort = Port;
    m_features.clear();
    m_useExtendedPassive = false;
    m_listingCutShort = false; // a new server session holds nothing of an old one
    if (ProxySettings.ProxyType != TIdFtpProxyType::fpcmNone && !ProxySettings.Host.empty()) {
        Host = ProxySettings.Host;
        Port = ProxySettings.Port;
    }
    try {
        prepareControlHandler();
        try {
            OpenConnection(timeout);
        } catch (...) {
            Host = savedHost;
            Port = savedPort;
            throw;
        }
        Host = savedHost;
        Port = savedPort;
        if (TLSSettings.Mode == TIdUseTLS::utUseImplicitTLS)
            startControlTLS();
        ReadReply({220});
        GreetingReply().Assign(LastReply());
        negotiateExplicitTLS();
        if (autoLogin) {
            Authenticate();
            protectData();
            fireEvent(OnAfterClientLogin, this);
            const int code = SendCommand("SYST", TIdReplyCodes{200, 215, 500});
            if (code == 500)
                m_systemType = "Unknown";
            else
                m_systemType = LastReply().Text().empty() ? "" : LastReply().Text().front();
            askFeatures();
            ReportStatus(TIdStatus::stTransferDone, "Connection established");
        }
    } catch (...) {
        try {
            CloseConnection();
        } catch (...) {
            // the failure that ended the open is the one to report
        }
        throw;
    }
}

// RFC 2389: "211-Features:", one feature per line each led by a blank (" UTF8",
// " REST STREAM", " CCC"), then "211 End". A server that does not know FEAT answers 500 or 502
// and is used exactly as before. UTF8 (RFC 2640) is switched on where offered; names stay
// bytes either way, so this only tells the server that we take them as they are.
void TIdFTP::askFeatures()
{
    if (RawCommand("FEAT") != 211)
        return;
    // The lines between the first and the last; a server that writes "211-" before each
    // feature gets that prefix removed.
    const std::vector<std::string>& lines = LastReplyLines();
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        std::string_view feature = lines[i];
        if (feature.starts_with("211-"))
            feature.remove_prefix(4);
        feature = Trim(feature);
        if (!feature.empty())
            m_features.emplace_back(feature);
    }
    if (HasFeature("UTF8"))
        RawCommand("OPTS UTF8 ON");
}

bool TIdFTP::HasFeature(const std::string& name) const
{
    for (const std::string& feature : m_features) {
        std::string rest = feature;
        if (SameText(SplitToken(rest, " "), name))
            return true;
    }
    return false;
}

void TIdFTP::userLogin(const std::string& user, const std::string& password)
{
    if (SendCommand("USER " + user, TIdReplyCodes{230, 331}) == 331)
        SendCommand("PASS " + password, TIdReplyCodes{230});
}

void TIdFTP::proxyLogin()
{
    if (!ProxySettings.UserName.empty())
        userLogin(ProxySettings.UserName, ProxySettings.Password);
}

void TIdFTP::Authenticate()
{
    switch (ProxySettings.ProxyType) {
    case TIdFtpProxyType::fpcmNone:
        userLogin(Username(), Password());
        break;
    case TIdFtpProxyType::fpcmUserSite:
        proxyLogin();
        userLogin(joinAt(Username(), Host), Password());
        break;
    case TIdFtpProxyType::fpcmSite:
        proxyLogin();
        SendCommand("SITE " + Host);
        userLogin(Username(), Password());
        break;
    case TIdFtpProxyType::fpcmOpen:
        proxyLogin();
        SendCommand("OPEN " + Host);
        userLogin(Username(), Password());
        break;
    case TIdFtpProxyType::fpcmUserPass:
        userLogin(joinAt(joinAt(Username(), ProxySettings.UserName), Host),
                  ProxySettings.Password.empty() ? Password()
                                                 : joinAt(Password(), ProxySettings.Password));
        break;
    case TIdFtpProxyType::fpcmTransparent:
        proxyLogin();
        userLogin(Username(), Password());
        break;
    case TIdFtpProxyType::fpcmHttpProxyWithFtp:
        throw EIdException("Command not supported.");
    }
    m_loginReply.Assign(LastReply());
    SendTypeCommand();
}

void TIdFTP::SendTypeCommand()
{
    SendCommand(m_transferType == TIdFTPTransferType::ftASCII ? "TYPE A" : "TYPE I",
                TIdReplyCodes{200});
}

void TIdFTP::SetTransferType(TIdFTPTransferType type)
{
    if (type == m_transferType || m_phase != TransferPhase::Idle)
        return;
    const TIdFTPTransferType previous = m_transferType;
    m_transferType = type;
    if (!IsConnected())
        return;
    try {
        SendTypeCommand();
    } catch (...) {
        // TYPE was refused (or not sent): the server keeps the type it had, and so do we.
        m_transferType = previous;
        throw;
    }
}

void TIdFTP::CloseSession()
{
    try {
        if (IsConnected())
            SendLine("QUIT");
    } catch (...) {
        CloseConnection();
        throw;
    }
    CloseConnection();
}

std::int16_t TIdFTP::SendCommand(const std::string& line, const TIdReplyCodes& accepted)
{
    if (m_dataLink && m_dataLink->IsBusy())
        throw EIdException("The command was not sent: a transfer is still running on this "
                           "session.");
    return TIdTCPClient::SendCommand(line, accepted);
}

void TIdFTP::CloseConnection()
{
    if (m_dataLink) {
        m_dataLink->DropSocket();
        // Received but not yet stored: the transfer is over, the stream gets no more.
        m_dataLink->InputBuffer().Clear();
        m_dataCut = true;
    }
    TIdTCPClient::CloseConnection();
}

void TIdFTP::SendAbort()
{
    switch (m_phase) {
    case TransferPhase::Idle:
        abortOutsideTransfer();
        return;
    case TransferPhase::Refused:
    case TransferPhase::Resyncing:
        return; // the transfer is over; its replies are being read
    default:
        break;
    }
    m_abortRequested = true;
    // Before the transfer command is out there is nothing on the server to abort.
    const bool abortOwed = m_phase != TransferPhase::Preparing && !m_abortSent;
    try {
        if (abortOwed && IsConnected())
            sendAbortCommand();
    } catch (...) {
        DropDataConnection();
        throw;
    }
    DropDataConnection();
}

// ABOR with no transfer running is still answered; the answer is read here, so that no
// later command takes it for its own.
void TIdFTP::abortOutsideTransfer()
{
    if (!IsConnected() || IsBusy())
        return;
    SendLine("ABOR");
    resynchronise();
}

void TIdFTP::sendAbortCommand()
{
    SendLine("ABOR");
    m_abortSent = true;
}

void TIdFTP::DropDataConnection()
{
    if (!m_dataLink)
        return;
    // Dropped while still open: whatever had not arrived yet never will.
    if (m_dataLink->IOHandler() != nullptr && m_dataLink->IOHandler()->IsOpen())
        m_dataCut = true;
    m_dataLink->DropSocket();
}

void TIdFTP::ChangeDirectory(const std::string& directory)
{
    SendCommand("CWD " + directory, TIdReplyCodes{200, 250});
}

std::string TIdFTP::QueryCurrentDirectory()
{
    SendCommand("PWD", TIdReplyCodes{257});
    // 257 "/home/tarn" is current directory.
    const std::string line = LastReply().Text().empty() ? std::string() : LastReply().Text().front();
    const std::size_t open = line.find('"');
    if (open == std::string::npos)
        return std::string();
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos)
        return std::string();
    return line.substr(open + 1, close - open - 1);
}

void TIdFTP::MakeDirectory(const std::string& directory)
{
    SendCommand("MKD " + directory, TIdReplyCodes{257});
}

void TIdFTP::DeleteDirectory(const std::string& directory)
{
    SendCommand("RMD " + directory, TIdReplyCodes{250});
}

void TIdFTP::DeleteRemoteFile(const std::string& fileName)
{
    SendCommand("DELE " + fileName, TIdReplyCodes{250});
}

void TIdFTP::RenameRemote(const std::string& oldName, const std::string& newName)
{
    checkArgument(newName, "new name");
    SendCommand("RNFR " + oldName, TIdReplyCodes{350});
    SendCommand("RNTO " + newName, TIdReplyCodes{250});
}

std::int64_t TIdFTP::QueryFileSize(const std::string& fileName)
{
    if (SendCommand("SIZE " + fileName) != 213)
        return -1;
    // 213 1234
    std::string rest(Trim(JoinLines(LastReply().Text(), "\r\n")));
    const std::size_t blank = rest.find(' ');
    if (blank != std::string::npos)
        rest.erase(0, blank + 1);
    const std::int64_t size = ParseInteger(rest).value_or(-1);
    m_sizeName = fileName;
    m_sizeValue = size;
    return size;
}

int TIdFTP::RawCommand(const std::string& line)
{
    return SendCommand(line, std::int16_t{-1});
}

bool TIdFTP::ProbeResume()
{
    if (m_resumeKnown)
        return m_resumeAvailable;
    m_resumeKnown = true;
    m_resumeAvailable = RawCommand("REST 1") == 350;
    RawCommand("REST 0");
    return m_resumeAvailable;
}
