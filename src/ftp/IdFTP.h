// The FTP client session: the command connection with login, the single-command operations,
// and the data transfers (downloads, uploads, listings) in passive and active mode.
#pragma once

#include "ftp/IdFTPList.h"
#include "ftp/IdFTPTLS.h"
#include "ftp/IdRFCReply.h"
#include "ftp/IdStream.h"
#include "ftp/IdTCPClient.h"
#include "net/IdException.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIdSimpleServer;
class TIdSocketHandle;

// The runtime's text-to-number conversion error ("'x' is not a valid integer value"); it is
// deliberately not an EIdException.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

enum class TIdFtpProxyType {
    fpcmNone,
    fpcmUserSite,
    fpcmSite,
    fpcmOpen,
    fpcmUserPass,
    fpcmTransparent,
    fpcmHttpProxyWithFtp
};

enum class TIdFTPTransferType { ftASCII, ftBinary };

struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
    std::string Host;
    std::string UserName;
    std::string Password;
    int Port = 0;
};

// An upload ended by SendAbort (a download ended that way returns normally).
TARN_ID_EXCEPTION_TEXT(EIdFTPTransferAborted, EIdException, "Transfer aborted.");
// The server holds another number of bytes than the transfer moved.
TARN_ID_EXCEPTION(EIdFTPSizeMismatch, EIdException);
// A session that requires TLS met a server that does not offer it, or a certificate the user
// did not accept.
TARN_ID_EXCEPTION(EIdFTPTLSRefused, EIdOSSLError);
TARN_ID_EXCEPTION(EIdFTPCertificateRefused, EIdFTPTLSRefused);

// What the server named in its answer to PASV.
struct TIdPassiveAddress {
    std::string Host;
    int Port = 0;
};

// The address in the text of a 227 answer, "Entering Passive Mode (h1,h2,h3,h4,p1,p2)" with
// or without the parentheses. Raises EConvertError for a port field that is not a number and
// EIdException for a port outside 1..65535.
TIdPassiveAddress ParsePassiveReply(const std::string& text);

// The port in the text of a 229 answer, "Entering Extended Passive Mode (|||6446|)".
// Raises EIdException when it names none.
int ParseExtendedPassiveReply(const std::string& text);

class TIdFTP;

using TIdCheckListFormat =
    std::function<void(TIdFTP* ASender, const std::string& ALine, TIdFTPListFormat& VListFormat)>;
using TIdCreateFTPList =
    std::function<void(TIdFTP* ASender, std::unique_ptr<TIdFTPListItems>& VFTPList)>;
using TIdFtpAfterGet = std::function<void(TIdFTP* ASender, TIdStream& VStream)>;

class TIdFTP : public TIdTCPClient {
public:
    static constexpr int kDefaultPort = 21;
    // The default of AcceptTimeout.
    static constexpr int kAcceptTimeout = 120000;
    // After a failed or aborted transfer, how long each reply still owed is waited for when
    // ReadTimeout sets no limit; a server silent for longer loses the connection.
    static constexpr int kResyncReplyTimeout = 30000;

    TIdFTP();
    ~TIdFTP() override;

    // --- properties ---
    bool Passive = false;
    // How long an active-mode transfer waits for the server to connect to the data port, in
    // ms; kNoTimeout waits until it connects or the transfer is aborted.
    int AcceptTimeout = kAcceptTimeout;
    TIdFtpProxySettings ProxySettings;
    // Read when a session opens.
    TIdFTPTLSSettings TLSSettings;
    TNotifyEvent OnAfterClientLogin;
    TIdCheckListFormat OnCheckListFormat;
    TIdCreateFTPList OnCreateFTPList;
    TIdFtpAfterGet OnAfterGet;

    TIdFTPTransferType TransferType() const { return m_transferType; }
    // Sends TYPE when connected and the type changes; ignored while a transfer runs.
    void SetTransferType(TIdFTPTransferType type);
    // Kept in the parsed listing collection (built when missing).
    TIdOnParseCustomListFormat OnParseCustomListFormat();
    void SetOnParseCustomListFormat(TIdOnParseCustomListFormat handler);

    const std::string& SystemType() const { return m_systemType; }
    // The features the server named in its answer to FEAT after login ("UTF8", "MDTM",
    // "REST STREAM"), empty when it has none or refused FEAT.
    const std::vector<std::string>& Features() const { return m_features; }
    // Whether a feature of that name (its first word, any letter case) was named.
    bool HasFeature(const std::string& name) const;
    // Whether passive data connections use EPSV: on IPv6, or on IPv4 after the server
    // refused PASV with a 5xx reply (kept for the session).
    bool UsesExtendedPassive() const;
    const TIdRFCReply& LoginReply() const { return m_loginReply; }
    // The lines of the last listing (split when first asked for).
    const std::vector<std::string>& ListingLines() const;
    // The data connection while a transfer runs, else null.
    TIdTCPConnection* DataLink() const { return m_dataLink.get(); }
    // Whether the command connection of the open session is encrypted, and the data
    // connections with it (PROT P).
    bool TLSActive() const;
    // "TLSv1.3" while TLSActive(), else empty.
    std::string TLSVersion() const;
    bool DataProtected() const { return m_dataProtected; }
    // Whether the user, not the system's store, vouched for this session's certificate.
    bool CertificateTrustedByUser() const { return m_certificateTrustedByUser; }
    // The size the server gave (SIZE) for the file the last upload stored whole, as checked
    // against the bytes sent; -1 when that upload was not checked (no SIZE, APPE, STOU).
    std::int64_t LastStoredSize() const { return m_storedSize; }
    // The SHA-256 fingerprint of the certificate this session accepted; empty on plain FTP.
    const std::string& CertificateFingerprint() const { return m_certificateFingerprint; }
    // Whether the last transfer ended as aborted ("Transfer aborted" was reported): by
    // SendAbort, or by the server's 426/450 followed by its 226 or 225.
    bool LastTransferAborted() const { return m_lastTransferAborted; }

    // --- session ---
    // Connects, reads the 220 greeting and, with autoLogin, logs in, asks SYST and sets TYPE.
    // Any failure closes the connection before the exception leaves.
    void OpenSession(bool autoLogin = true, int timeout = -1);
    void Authenticate();
    void SendTypeCommand();
    // QUIT (its reply is not read), then the connection is closed.
    void CloseSession();
    // Also drops a running transfer's data connection, so a close from a work handler or
    // the pump ends the transfer: nothing more is written to its stream, and the transfer
    // call raises once it unwinds.
    void CloseConnection() override;
    // During a transfer: ABOR (once) and the data connection dropped; the transfer reads
    // every reply it and ABOR produce before it returns. Safe to call from a work handler or
    // the pump while that transfer is on the call stack. An aborted download returns
    // normally ("Transfer aborted" reported, LastTransferAborted() true); an aborted upload
    // raises EIdFTPTransferAborted. Without a transfer, ABOR's answer is read here; while
    // another command awaits its reply nothing is sent (ABOR's answer would cross it).
    virtual void SendAbort();
    virtual void DropDataConnection();

    void ChangeDirectory(const std::string& directory);
    std::string QueryCurrentDirectory();
    void MakeDirectory(const std::string& directory);
    void DeleteDirectory(const std::string& directory);
    void DeleteRemoteFile(const std::string& fileName);
    void RenameRemote(const std::string& oldName, const std::string& newName);
    // The size the server reports (213), or -1.
    std::int64_t QueryFileSize(const std::string& fileName);
    // Sends the line and answers the reply code unchecked.
    int RawCommand(const std::string& line);
    // Whether the server takes REST; asked once in the life of the object.
    bool ProbeResume();

    using TIdTCPClient::SendCommand;
    // Also refused while a transfer moves data: a command from a work handler or the pump
    // would have its reply crossed with the end of the transfer.
    std::int16_t SendCommand(const std::string& line, const TIdReplyCodes& accepted) override;

    // --- transfers ---
    void Download(const std::string& remoteName, const std::string& localPath,
                  bool canOverwrite = false, bool resume = false);
    // Writes from the stream's position; with resume that position is the REST offset.
    void DownloadToStream(const std::string& remoteName, TIdStream& stream, bool resume = false);
    void Upload(const std::string& localPath, const std::string& remoteName = std::string(),
                bool append = false);
    // Empty name: STOU; append: APPE from the stream's position; else STOR from the start.
    void UploadFromStream(TIdStream& stream, const std::string& remoteName = std::string(),
                          bool append = false);
    // An aborted listing lists nothing; one that fails leaves the last listing as it was.
    // Unless OnCreateFTPList or OnCheckListFormat is assigned (ParsedListing fires them), the
    // entries are parsed while the listing arrives.
    void ListDirectory(std::vector<std::string>* destination = nullptr,
                       const std::string& specifier = std::string(), bool details = true);
    TIdFTPListItems& ParsedListing();

    // Run after the server confirmed the transfer and before it is reported complete; it
    // raises when the transfer is not whole after all.
    using TransferCheck = std::function<void()>;
    void ReceiveTransfer(const std::string& command, TIdStream& stream, bool resume,
                         const TransferCheck& check = {});
    void SendTransfer(const std::string& command, TIdStream& stream, bool fromStart,
                      const TransferCheck& check = {});
    // The address as the server gave it; the data connection itself always goes to the
    // command connection's peer (a server must not send the client elsewhere).
    TIdPassiveAddress RequestPassive();
    void AnnouncePort(const TIdSocketHandle& binding);
    void PrepareDataLink(TIdTCPConnection& link);

protected:
    virtual void DoAfterGet(TIdStream& stream);

private:
    class DataLinkScope;
    class TransferScope;
    // Where the running transfer stands, as far as the replies it is owed go.
    enum class TransferPhase {
        Idle,        // no transfer
        Preparing,   // PASV, PORT, REST, the data connection: nothing is owed yet
        CommandSent, // the transfer command is out: its replies are owed
        Refused,     // the server refused the command: nothing more is owed for it
        Ending,      // the data has moved: reading the final reply
        Resyncing    // NOOP is out: reading every reply up to its answer
    };
    enum class TransferDirection { Receive, Send };
    // Refuses an argument with CR, LF or NUL before anything is sent (EIdException).
    static void checkArgument(const std::string& argument, const char* what);
    void userLogin(const std::string& user, const std::string& password);
    void askFeatures();
    int requestExtendedPassive();
    int passivePort();
    void proxyLogin();
    // TLS on the command connection (the handler, AUTH TLS, the certificate, PBSZ and PROT)
    // and on each data connection.
    void prepareControlHandler();
    TIdSSLIOHandlerSocket* controlTLS() const;
    // AUTH TLS in the explicit modes; nothing in the others.
    void negotiateExplicitTLS();
    void startControlTLS();
    void acceptCertificate(const TIdTLSCertificateInfo& certificate);
    void protectData();
    std::unique_ptr<TIdIOHandlerSocket> makeDataHandler() const;
    void secureDataLink(TIdTCPConnection& link);
    void endDataLink(TIdTCPConnection& link);
    int tlsTimeout() const;
    // The size checks after a transfer that moved all its data (IdFTPSizeCheck.cpp).
    void checkStoredSize(const std::string& remoteName, std::int64_t sent);
    void checkReceivedSize(const std::string& remoteName, const TIdStream& stream, bool resumed);
    std::int64_t announcedSize(const std::string& remoteName, bool resumed) const;
    void checkLoginArguments() const;
    void receivePassive(const std::string& command, TIdStream& stream, bool resume);
    void receiveActive(const std::string& command, TIdStream& stream, bool resume);
    void sendPassive(const std::string& command, TIdStream& stream, bool fromStart);
    void sendActive(const std::string& command, TIdStream& stream, bool fromStart);
    TIdTCPClient& openPassiveLink(int port);
    TIdSimpleServer& listenActiveLink();
    void sendRestart(const TIdStream& stream);
    void refuseNestedTransfer() const;
    void runTransfer(const std::string& command, TransferDirection direction,
                     const std::function<void()>& transfer, const TransferCheck& check);
    void sendTransferCommand(const std::string& command);
    void readTransferStart(const TIdReplyCodes& accepted);
    void acceptDataConnection(TIdSimpleServer& server);
    void checkAbortRequested() const;
    void sendAbortCommand();
    // Answer whether the transfer completed (false: aborted, or it raised).
    [[nodiscard]] bool endTransfer(TransferDirection direction, std::exception_ptr failure);
    [[nodiscard]] bool readFinalReplies(TransferDirection direction);
    TIdRFCReply readFinalReply();
    std::vector<int> resynchronise();
    [[nodiscard]] bool settleAbort(TransferDirection direction, const std::vector<int>& codes);
    void reportAborted();
    void abortOutsideTransfer();
    // One listing as it arrives: its lines, and its entries parsed on the way unless an
    // event may still choose the collection or its format.
    struct ListingResult {
        std::string text;
        std::unique_ptr<TIdFTPListItems> parsed;
    };
    // Answers false when the listing was aborted.
    bool receiveListing(const std::string& command, bool details, ListingResult& result);
    std::string peerAddress() const;

    TIdFTPTransferType m_transferType = TIdFTPTransferType::ftBinary;
    bool m_resumeAvailable = false;
    // The last listing as received; its lines are split from it when first asked for.
    std::string m_listingText;
    mutable std::optional<std::vector<std::string>> m_listingLines;
    // Whether the last listing was LIST (true) or NLST.
    bool m_listingDetails = true;
    // A listing in this session was aborted or failed: the server may still hold its end.
    bool m_listingCutShort = false;
    TIdRFCReply m_loginReply;
    bool m_resumeKnown = false;
    std::string m_systemType;
    std::vector<std::string> m_features;
    // The server refused PASV with a 5xx reply in this session and answered EPSV instead.
    bool m_useExtendedPassive = false;
    std::unique_ptr<TIdTCPConnection> m_dataLink;
    std::unique_ptr<TIdFTPListItems> m_listing;
    TransferPhase m_phase = TransferPhase::Idle;
    // SendAbort was called during the running transfer.
    bool m_abortRequested = false;
    // ABOR went out during the running transfer (so its reply is owed too).
    bool m_abortSent = false;
    // The data connection was dropped before it had ended by itself: the data is partial.
    bool m_dataCut = false;
    bool m_lastTransferAborted = false;
    std::shared_ptr<TIdSSLContext> m_sslContext;
    bool m_dataProtected = false;
    bool m_certificateTrustedByUser = false;
    std::string m_certificateFingerprint;
    // The last SIZE answer, kept for the download of that name that usually follows it.
    std::string m_sizeName;
    std::int64_t m_sizeValue = -1;
    std::int64_t m_storedSize = -1;
    TIdRFCReply m_transferStartReply;
};
