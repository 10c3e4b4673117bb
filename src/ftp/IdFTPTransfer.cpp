// TIdFTP transfer operations: downloads into files and streams with resume, uploads (STOR,
// APPE, STOU), listings and the parsed listing.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"

#include <cstring>
#include <filesystem>

namespace {

// Cuts bytes into lines at CR LF, LF or a lone CR, a block at a time: a line (or a CR LF pair)
// may be split across blocks. A final line end adds no empty line.
class LineSplitter {
public:
    // Calls onLine(std::string_view) for every line that ends in the block.
    template <typename OnLine>
    void feed(const char* at, const char* end, OnLine&& onLine)
    {
        if (m_afterCR && at < end && *at == '\n')
            ++at;
        m_afterCR = false;
        while (at < end) {
            // Lines end in LF nearly always; a CR before it (or alone) is looked for in the line.
            const char* stop = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            if (stop == nullptr)
                stop = end;
            if (const void* cr = std::memchr(at, '\r', static_cast<std::size_t>(stop - at)))
                stop = static_cast<const char*>(cr);
            if (stop == end) {
                m_partial.append(at, end);
                return;
            }
            endLine(at, stop, onLine);
            if (*stop == '\r' && stop + 1 == end)
                m_afterCR = true;
            else if (*stop == '\r' && stop[1] == '\n')
                ++stop;
            at = stop + 1;
        }
    }

    // The last line, when no line end followed it.
    template <typename OnLine>
    void finish(OnLine&& onLine)
    {
        if (!m_partial.empty())
            endLine(nullptr, nullptr, onLine);
    }

private:
    template <typename OnLine>
    void endLine(const char* from, const char* to, OnLine& onLine)
    {
        if (m_partial.empty()) {
            onLine(std::string_view(from, static_cast<std::size_t>(to - from)));
            return;
        }
        m_partial.append(from, to);
        onLine(std::string_view(m_partial));
        m_partial.clear();
    }

    std::string m_partial;  // the start of a line whose end has not arrived yet
    bool m_afterCR = false; // the last block ended with a CR: an LF first in the next is its pair
};

// A listing as it arrives: its bytes are kept, and each line is handed on as soon as its end
// is in, so that it can be parsed while the rest of the listing is still on its way.
template <typename OnLine>
class ListingSink : public TIdStream {
public:
    explicit ListingSink(OnLine onLine) : m_onLine(std::move(onLine)) {}
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    void Write(const void* data, std::int64_t count) override
    {
        if (count <= 0)
            return;
        const char* bytes = static_cast<const char*>(data);
        m_text.append(bytes, static_cast<std::size_t>(count));
        m_splitter.feed(bytes, bytes + count, m_onLine);
    }
    std::int64_t Position() const override { return static_cast<std::int64_t>(m_text.size()); }
    void Seek(std::int64_t) override {}
    std::int64_t Size() const override { return Position(); }
    void SetSize(std::int64_t) override {}
    void Finish() { m_splitter.finish(m_onLine); }
    std::string& Text() { return m_text; }

private:
    OnLine m_onLine;
    LineSplitter m_splitter;
    std::string m_text;
};

} // namespace

void TIdFTP::DoAfterGet(TIdStream& stream)
{
    fireEvent(OnAfterGet, this, stream);
}

void TIdFTP::DownloadToStream(const std::string& remoteName, TIdStream& stream, bool resume)
{
    checkArgument(remoteName, "remote file name");
    const bool restart = resume && ProbeResume();
    ReceiveTransfer("RETR " + remoteName, stream, restart,
                    [&] { checkReceivedSize(remoteName, stream, restart); });
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
    m_storedSize = -1;
    if (remoteName.empty()) {
        SendTransfer("STOU ", stream, true);
    } else if (append) {
        SendTransfer("APPE " + remoteName, stream, false);
    } else {
        SendTransfer("STOR " + remoteName, stream, true,
                     [&] { checkStoredSize(remoteName, stream.Size()); });
    }
}

void TIdFTP::Upload(const std::string& localPath, const std::string& remoteName, bool append)
{
    checkArgument(remoteName, "remote file name");
    TIdFileStream file(localPath, TIdFileStream::Mode::OpenRead);
    UploadFromStream(file, remoteName, append);
    file.Close();
}

// A server may still hold the end of a listing that was cut short and send it ahead of the
// next one (proftpd sends a line of the aborted folder at the start of the next listing): the
// first listing after that is read twice, and the first reading thrown away.
void TIdFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                           bool details)
{
    checkArgument(specifier, "listing specifier");
    const std::string command(Trim((details ? "LIST " : "NLST ") + specifier));
    ListingResult result;
    bool completed = false;
    try {
        if (!m_listingCutShort || receiveListing(command, details, result)) {
            result = ListingResult();
            completed = receiveListing(command, details, result);
        }
    } catch (...) {
        m_listingCutShort = true;
        throw;
    }
    m_listingCutShort = !completed;
    m_listing = std::move(result.parsed);
    m_listingText = completed ? std::move(result.text) : std::string();
    m_listingLines.reset();
    m_listingDetails = details;
    if (destination != nullptr)
        *destination = ListingLines();
}

bool TIdFTP::receiveListing(const std::string& command, bool details, ListingResult& result)
{
    auto items = !OnCreateFTPList && !OnCheckListFormat ? std::make_unique<TIdFTPListItems>() : nullptr;
    bool first = true;
    ListingSink sink([&](std::string_view line) {
        if (!items)
            return;
        if (first) {
            // After NLST every line is a name, whatever it looks like.
            first = false;
            items->SetLineFormat(items->DetectFormat(std::string(line), details));
            items->BeginLoad();
        }
        items->AddLine(line);
    });
    ReceiveTransfer(command, sink, false);
    sink.Finish();
    if (m_lastTransferAborted)
        return false;
    result.text = std::move(sink.Text());
    if (items && !first) {
        items->EndLoad();
        result.parsed = std::move(items);
    }
    return true;
}

const std::vector<std::string>& TIdFTP::ListingLines() const
{
    if (!m_listingLines)
        m_listingLines = SplitTextLines(m_listingText);
    return *m_listingLines;
}

TIdFTPListItems& TIdFTP::ParsedListing()
{
    if (m_listing)
        return *m_listing;
    fireEvent(OnCreateFTPList, this, m_listing);
    if (!m_listing)
        m_listing = std::make_unique<TIdFTPListItems>();
    const std::vector<std::string>& lines = ListingLines();
    if (!lines.empty()) {
        // After NLST every line is a name, whatever it looks like.
        TIdFTPListFormat format = m_listing->DetectFormat(lines.front(), m_listingDetails);
        fireEvent(OnCheckListFormat, this, lines.front(), format);
        m_listing->SetLineFormat(format);
        m_listing->LoadLines(lines);
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
