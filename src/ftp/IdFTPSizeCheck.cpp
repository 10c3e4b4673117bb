// The size checks after a transfer that moved all its data: an upload whose stored size
// (SIZE) differs from what was sent, or a download shorter than the size the server told,
// is a transfer cut short, however the connection ended (a TLS close_notify or a plain close).
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"

#include <regex>

namespace {

std::string byteCount(std::int64_t count)
{
    return GroupedDigits(count, ",");
}

} // namespace

void TIdFTP::checkStoredSize(const std::string& remoteName, std::int64_t sent)
{
    if (m_transferType != TIdFTPTransferType::ftBinary || !HasFeature("SIZE"))
        return;
    const std::int64_t stored = QueryFileSize(remoteName);
    m_sizeName.clear();
    m_storedSize = stored;
    if (stored >= 0 && stored != sent)
        throw EIdFTPSizeMismatch("The server stored " + byteCount(stored) + " of " + byteCount(sent)
                                 + " bytes.");
}

// The size told for this download: the SIZE answer asked for the same name just before, or
// the 150 reply's "(1234 bytes)"; -1 when none was told.
std::int64_t TIdFTP::announcedSize(const std::string& remoteName, bool resumed) const
{
    if (m_sizeName == remoteName && !remoteName.empty())
        return m_sizeValue;
    if (resumed)
        return -1; // servers differ on whether the 150 counts the whole file or the rest
    static const std::regex kBytes(R"(\((\d+) bytes\))");
    std::smatch match;
    const std::string text = JoinLines(m_transferStartReply.Text(), " ");
    if (std::regex_search(text, match, kBytes))
        return ParseInteger(match[1].str()).value_or(-1);
    return -1;
}

void TIdFTP::checkReceivedSize(const std::string& remoteName, const TIdStream& stream, bool resumed)
{
    const std::int64_t told = announcedSize(remoteName, resumed);
    m_sizeName.clear();
    if (m_lastTransferAborted || m_transferType != TIdFTPTransferType::ftBinary || told < 0)
        return;
    // More than told is a file that grew meanwhile; fewer is a transfer cut short.
    if (stream.Position() < told)
        throw EIdFTPSizeMismatch("The server sent " + byteCount(stream.Position()) + " of "
                                 + byteCount(told) + " bytes.");
}
