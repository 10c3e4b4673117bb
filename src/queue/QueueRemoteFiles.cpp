// Remote files for the queue.
#include "queue/QueueRemoteFiles.h"

#include "ftp/IdFTP.h"
#include "ftp/IdFTPListMachine.h"

namespace {

std::vector<std::string> textLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// A listing the server cut short (426, then 226) would pass for a whole one.
void refuseCutListing(const TIdFTP& ftp)
{
    if (ftp.LastTransferAborted())
        throw EIdFTPTransferAborted();
}

std::vector<FolderEntry> machineListing(TIdFTP& ftp, const std::string& path)
{
    TIdMemoryStream text;
    ftp.ReceiveTransfer("MLSD " + path, text, false);
    refuseCutListing(ftp);
    std::vector<FolderEntry> entries;
    for (const std::string& line : textLines(text.DataString())) {
        const auto parsed = ParseMachineListLine(line);
        if (!parsed || parsed->IsSelfOrParent())
            continue;
        FolderEntry entry;
        entry.name = parsed->Name;
        entry.kind = parsed->IsDirectory() ? QueueItemKind::Folder : QueueItemKind::File;
        entry.facts = FileFacts{true, parsed->Size, parsed->Modified};
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<FolderEntry> longListing(TIdFTP& ftp, const std::string& path)
{
    ftp.ChangeDirectory(path);
    ftp.ListDirectory(nullptr, std::string(), true);
    refuseCutListing(ftp);
    std::vector<FolderEntry> entries;
    for (const TIdFTPListItem& item : ftp.ParsedListing()) {
        const bool folder = item.EntryKind == TIdListEntryKind::ekDirectory;
        if (folder && (item.EntryName == "." || item.EntryName == ".."))
            continue;
        FolderEntry entry;
        entry.name = item.EntryName;
        entry.kind = folder ? QueueItemKind::Folder : QueueItemKind::File;
        // A long listing's times are local and often to the minute: no time is better.
        entry.facts = FileFacts{true, item.ByteSize, std::nullopt};
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

std::vector<FolderEntry> listRemoteFolder(TIdFTP& ftp, const std::string& path)
{
    return ftp.HasFeature("MLST") ? machineListing(ftp, path) : longListing(ftp, path);
}

std::optional<std::int64_t> remoteModified(TIdFTP& ftp, const std::string& path)
{
    // 213 20240131120000
    if (!ftp.HasFeature("MDTM") || ftp.RawCommand("MDTM " + path) != 213 || ftp.LastReply().Text().empty())
        return std::nullopt;
    return ParseMachineTime(ftp.LastReply().Text().front());
}

FileFacts remoteFileFacts(TIdFTP& ftp, const std::string& path, bool withTime)
{
    FileFacts facts;
    facts.size = ftp.QueryFileSize(path);
    facts.exists = facts.size >= 0;
    if (facts.exists && withTime)
        facts.modified = remoteModified(ftp, path);
    return facts;
}

std::int64_t remoteSize(TIdFTP& ftp, const std::string& path)
{
    const std::int64_t size = ftp.QueryFileSize(path);
    if (size >= 0)
        return size;
    try {
        ftp.ListDirectory(nullptr, path, true);
        const TIdFTPListItems& listing = ftp.ParsedListing();
        return listing.Count() == 1 ? listing[0].ByteSize : -1;
    } catch (const EIdProtocolReplyError&) {
        return -1;
    }
}

bool setRemoteModified(TIdFTP& ftp, const std::string& path, std::int64_t utcSeconds)
{
    // MFMT 20240131120000 /folder/file.txt
    return ftp.HasFeature("MFMT")
        && ftp.RawCommand("MFMT " + FormatMachineTime(utcSeconds) + " " + path) == 213;
}
