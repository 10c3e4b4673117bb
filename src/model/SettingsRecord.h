// The window settings kept between runs as one 18-byte binary value "TarnSettings":
// little-endian, no header. Packing and unpacking are pure so they can be checked byte by byte;
// and the column widths of the panes, stored beside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TarnSettingsRecord {
    std::int16_t CurrentSite = 0;
    std::int16_t Top = 0;
    std::int16_t Left = 0;
    std::int16_t Height = 0;
    std::int16_t Width = 0;
    std::int16_t LocalPaneWidth = 0;   // the vertical splitter position
    std::int16_t TracePaneHeight = 0;
    std::int8_t SortColumn[2] = {0, 0};        // local pane, remote pane
    std::uint8_t SortAscending[2] = {0, 0};

    bool operator==(const TarnSettingsRecord&) const = default;
};

// The record's value, at the root of the settings store beside the sites' groups; the column
// widths of both panes are values there too, so that the site list never sees them.
inline constexpr const char* kTarnSettingsValue = "TarnSettings";
inline constexpr const char* kLocalColumnsValue = "TarnLocalColumns";
inline constexpr const char* kRemoteColumnsValue = "TarnRemoteColumns";

inline constexpr std::size_t kTarnSettingsSize = 18;
using TarnSettingsBytes = std::array<std::uint8_t, kTarnSettingsSize>;

// Values beyond 16 bits keep only their low 16 bits (the caller narrows with this).
[[nodiscard]] std::int16_t lowWord(int value);

[[nodiscard]] TarnSettingsBytes packSettings(const TarnSettingsRecord& record);
// A shorter value fills only the leading fields; the rest reads as zero. Bytes beyond the
// record are ignored (the registry refuses such a value before it gets here).
[[nodiscard]] TarnSettingsRecord unpackSettings(const std::uint8_t* bytes, std::size_t length);

// Column widths as stored, "150,55,105,55"; a text that is no such list reads as no widths.
[[nodiscard]] std::string columnWidthsText(const std::vector<int>& widths);
[[nodiscard]] std::vector<int> columnWidthsFromText(const std::string& text);
