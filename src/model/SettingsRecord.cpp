// Packing of the 18-byte window settings record, and the column widths stored beside it.
#include "model/SettingsRecord.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {

void putWord(TarnSettingsBytes& bytes, std::size_t offset, std::int16_t value)
{
    const auto bits = static_cast<std::uint16_t>(value);
    bytes[offset] = static_cast<std::uint8_t>(bits & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
}

std::int16_t getWord(const TarnSettingsBytes& bytes, std::size_t offset)
{
    const auto bits = static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    return static_cast<std::int16_t>(bits);
}

} // namespace

std::int16_t lowWord(int value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

TarnSettingsBytes packSettings(const TarnSettingsRecord& record)
{
    TarnSettingsBytes bytes{};
    putWord(bytes, 0, record.CurrentSite);
    putWord(bytes, 2, record.Top);
    putWord(bytes, 4, record.Left);
    putWord(bytes, 6, record.Height);
    putWord(bytes, 8, record.Width);
    putWord(bytes, 10, record.LocalPaneWidth);
    putWord(bytes, 12, record.TracePaneHeight);
    bytes[14] = static_cast<std::uint8_t>(record.SortColumn[0]);
    bytes[15] = static_cast<std::uint8_t>(record.SortColumn[1]);
    bytes[16] = record.SortAscending[0];
    bytes[17] = record.SortAscending[1];
    return bytes;
}

TarnSettingsRecord unpackSettings(const std::uint8_t* bytes, std::size_t length)
{
    TarnSettingsBytes full{};
    std::copy_n(bytes, std::min(length, full.size()), full.begin());
    TarnSettingsRecord record;
    record.CurrentSite = getWord(full, 0);
    record.Top = getWord(full, 2);
    record.Left = getWord(full, 4);
    record.Height = getWord(full, 6);
    record.Width = getWord(full, 8);
    record.LocalPaneWidth = getWord(full, 10);
    record.TracePaneHeight = getWord(full, 12);
    record.SortColumn[0] = static_cast<std::int8_t>(full[14]);
    record.SortColumn[1] = static_cast<std::int8_t>(full[15]);
    record.SortAscending[0] = full[16];
    record.SortAscending[1] = full[17];
    return record;
}

std::string columnWidthsText(const std::vector<int>& widths)
{
    std::string text;
    for (const int width : widths)
        text += (text.empty() ? "" : ",") + std::to_string(width);
    return text;
}

std::vector<int> columnWidthsFromText(const std::string& text)
{
    std::vector<int> widths;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        try {
            widths.push_back(std::stoi(item));
        } catch (const std::exception&) {
            return {};
        }
    }
    return widths;
}
