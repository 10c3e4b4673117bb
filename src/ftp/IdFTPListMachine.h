// Machine listings (RFC 3659): the entries of an MLSD answer, with exact sizes and UTC times,
// and the time stamp form that MLSD, MDTM and MFMT share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TIdMachineListEntry {
    std::string Name;
    // The type fact in lower case: "file", "dir", "cdir" (the folder itself), "pdir" (its
    // parent), or a server's own ("os.unix=symlink", "os.unix=slink:/target").
    std::string Type;
    // -1 when the server gave no size.
    std::int64_t Size = -1;
    // Seconds since 1970 in UTC; empty when the server gave no modify fact.
    std::optional<std::int64_t> Modified;

    bool IsDirectory() const { return Type == "dir"; }
    // The folder itself or its parent, which a tree walk passes over.
    bool IsSelfOrParent() const { return Type == "cdir" || Type == "pdir"; }
};

// One line of an MLSD answer: "type=file;size=1024;modify=20240131120000; notes.txt" (facts
// in any letter case and order, then one blank, then the name up to the end of the line,
// blanks included). Empty for a line without the blank or without a name.
std::optional<TIdMachineListEntry> ParseMachineListLine(std::string_view line);

// "20240131120000" with an optional fraction (".123", dropped): seconds since 1970 in UTC.
// Empty for anything else.
std::optional<std::int64_t> ParseMachineTime(std::string_view text);
// The inverse: "20240131120000".
std::string FormatMachineTime(std::int64_t utcSeconds);
