// Site files: sites carried between installations as blocks of seven text lines.
#pragma once

#include "sites/SiteUnit.h"

#include <string>
#include <string_view>
#include <vector>

// The lines of every site in order, each ended by CR LF: "Name=", "Host=", "User=", "Pass="
// (scrambled, as stored), "RDir=", "LDir=" and "Passive" or an empty line.
[[nodiscard]] std::string siteFileText(const std::vector<TSiteRecord>& sites);

enum class SiteFileFault {
    None,
    LineCount,   // no lines, or a number of lines that is not a multiple of 7
    BadBlock,    // a block with a missing keyword or a NUL byte
};

struct SiteFileContents {
    SiteFileFault fault = SiteFileFault::None;
    std::vector<TSiteRecord> sites;  // only when fault is None
};

// Reads every block, or none: values are cut at 999 bytes and Pass is taken as it stands.
[[nodiscard]] SiteFileContents readSiteFile(std::string_view bytes);
