// TIdFTP transfer operations: downloads into files and streams with resume, uploads (STOR,
// APPE, STOU), listings and the parsed listing.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"

#include <filesystem>

namespace {

// Lines of a listing, split at CR LF, LF or a lone CR; a final line end adds no empty line.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.emplace_back(text, start);
            break;
        }
        lines.emplace_back(text, start, end - start);
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

} // namespace

void TIdFTP::DoAfterGet(TIdStream& stream)
{
    fireEvent(OnAfterGet, this, stream);
}

void TIdFTP::DownloadToStream(const std::string& remoteName, TIdStream& stream, bool resume)
{
    checkArgument(remoteName, "remote file name");
    const bool restart = resume && ProbeResume();
    ReceiveTransfer("RETR " + remoteName, stream, restart);
    checkReceivedSize(remoteName, stream, restart);
    DoAfterGet(stream);
}

void TIdFTP::Download(const std::string& remoteName, const std::string& localPath,
                      bool canOverwrite, bool resume)
{
    checkArgument(remoteName, "remote file name");
    std::error_code ignored;
    // A new or overwritten file is created or emptied by the first byte that arrives, so a
    // refused download changes nothing on disk.
    TIdFileStream::Mode mode = TIdFileStream::Mode::CreateOnWrite;
    bool restart = resume;
    if (std::filesystem::exists(localPath, ignored)) {
        restart = resume && ProbeResume();
        if (!canOverwrite && restart)
            mode = TIdFileStream::Mode::OpenReadWrite;
        else if (!canOverwrite || restart)
            throw EIdFTPFileAlreadyExists("Destination file already exists.");
    }
    TIdFileStream file(localPath, mode);
    file.Seek(file.Size());
    DownloadToStream(remoteName, file, restart);
    // A complete download of an empty file still leaves the (empty) file; an aborted one
    // that received nothing leaves the old file as it was.
    if (!m_lastTransferAborted)
        file.Open();
    file.Close();
}

void TIdFTP::UploadFromStream(TIdStream& stream, const std::string& remoteName, bool append)
{
    checkArgument(remoteName, "remote file name");
    if (remoteName.empty()) {
        SendTransfer("STOU ", stream, true);
    } else if (append) {
        SendTransfer("APPE " + remoteName, stream, false);
    } else {
        SendTransfer("STOR " + remoteName, stream, true);
        checkStoredSize(remoteName, stream.Size());
    }
}

void TIdFTP::Upload(const std::string& localPath, const std::string& remoteName, bool append)
{
    checkArgument(remoteName, "remote file name");
    TIdFileStream file(localPath, TIdFileStream::Mode::OpenRead);
    UploadFromStream(file, remoteName, append);
    file.Close();
}

void TIdFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                           bool details)
{
    checkArgument(specifier, "listing specifier");
    const std::string command(Trim((details ? "LIST " : "NLST ") + specifier));
    TIdMemoryStream text;
    ReceiveTransfer(command, text, false);
    m_listing.reset();
    std::vector<std::string> lines = splitLines(text.DataString());
    if (destination != nullptr)
        *destination = lines;
    m_listingLines = std::move(lines);
    m_listingDetails = details;
}

TIdFTPListItems& TIdFTP::ParsedListing()
{
    if (m_listing)
        return *m_listing;
    fireEvent(OnCreateFTPList, this, m_listing);
    if (!m_listing)
        m_listing = std::make_unique<TIdFTPListItems>();
    if (!m_listingLines.empty()) {
        // After NLST every line is a name, whatever it looks like.
        TIdFTPListFormat format = m_listing->DetectFormat(m_listingLines.front(), m_listingDetails);
        fireEvent(OnCheckListFormat, this, m_listingLines.front(), format);
        m_listing->SetLineFormat(format);
        m_listing->LoadLines(m_listingLines);
    }
    return *m_listing;
}

TIdOnParseCustomListFormat TIdFTP::OnParseCustomListFormat()
{
    return ParsedListing().OnParseCustomListFormat();
}

void TIdFTP::SetOnParseCustomListFormat(TIdOnParseCustomListFormat handler)
{
    ParsedListing().SetOnParseCustomListFormat(std::move(handler));
}
