// Remote pane rows and the check of server names used as local names.
#include "model/RemoteRows.h"

#include "model/PaneText.h"

#include <algorithm>
#include <cmath>

namespace {

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The time of day held in the fraction of a listing time (days since 1899-12-30).
ClockTime clockTimeOf(TDateTime value)
{
    const double fraction = value - std::floor(value);
    const auto seconds = std::min<long long>(std::llround(fraction * 86400.0), 86399);
    return {static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

} // namespace

PaneRow remoteRowOf(const TIdFTPListItem& item, const std::string& groupSeparator)
{
    PaneRow row;
    row.name = item.EntryName;
    const bool directory = item.EntryKind == TIdListEntryKind::ekDirectory;
    const bool link = item.EntryKind == TIdListEntryKind::ekSymLink;
    const TIdCalendarDate date = DecodeDate(item.ModTime);
    const ClockTime time = clockTimeOf(item.ModTime);
    // A link's own size is the length of its target's path, nothing a user would want to see.
    const bool sized = !directory && !link;
    row.sizeText = sized ? sizeText(item.ByteSize, groupSeparator) : std::string(" ");
    row.modifiedText = dateText(date.year, date.month, date.day, time.hour, time.minute);
    row.typeText = directory ? kDirectoryType : (link ? kLinkType : kFileType);
    row.permissions = item.OwnerRights + item.GroupRights + item.OtherRights;
    row.size = sized ? item.ByteSize : -1;
    row.modified = dateKey(date.year, date.month, date.day, time.hour, time.minute, time.second);
    return row;
}

std::vector<PaneRow> remoteRowsOf(const TIdFTPListItems& items, const std::string& groupSeparator)
{
    std::vector<PaneRow> rows;
    rows.reserve(static_cast<std::size_t>(items.Count()));
    for (const TIdFTPListItem& item : items)
        rows.push_back(remoteRowOf(item, groupSeparator));
    return rows;
}

bool isSafeLocalName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || byte < 0x20 || byte == 0x7f;
    });
}
