// The window settings record: its byte layout, the 16-bit narrowing and short values.
#include "model/SettingsRecord.h"

#include <gtest/gtest.h>

namespace {

TarnSettingsRecord exampleRecord()
{
    TarnSettingsRecord record;
    record.CurrentSite = 1;
    record.Top = 134;
    record.Left = 213;
    record.Height = 582;
    record.Width = 840;
    record.LocalPaneWidth = 373;
    record.TracePaneHeight = 174;
    record.SortColumn[0] = 2;
    record.SortColumn[1] = 2;
    return record;
}

const TarnSettingsBytes kExampleBytes = {0x01, 0x00, 0x86, 0x00, 0xD5, 0x00, 0x46, 0x02, 0x48,
                                         0x03, 0x75, 0x01, 0xAE, 0x00, 0x02, 0x02, 0x00, 0x00};

TEST(SettingsRecord, ExampleValuesPackIntoTheirEighteenBytes)
{
    EXPECT_EQ(packSettings(exampleRecord()), kExampleBytes);
}

TEST(SettingsRecord, EighteenBytesUnpackIntoTheExampleValues)
{
    EXPECT_EQ(unpackSettings(kExampleBytes.data(), kExampleBytes.size()), exampleRecord());
}

TEST(SettingsRecord, NegativeValuesRoundTripWithSignExtension)
{
    TarnSettingsRecord record;
    record.Top = -8;            // a window partly above the screen
    record.Left = -1920;        // on a monitor left of the primary one
    record.SortColumn[1] = -1;  // a pane left unsorted
    record.SortAscending[0] = 1;
    const auto bytes = packSettings(record);
    EXPECT_EQ(bytes[2], 0xF8);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[15], 0xFF);
    EXPECT_EQ(unpackSettings(bytes.data(), bytes.size()), record);
}

TEST(SettingsRecord, OnlyTheLow16BitsOfLargeValuesAreKept)
{
    EXPECT_EQ(lowWord(0x12345), 0x2345);
    EXPECT_EQ(lowWord(40000), 40000 - 65536);
    EXPECT_EQ(lowWord(-2), -2);
}

TEST(SettingsRecord, AShortValueFillsOnlyItsLeadingFields)
{
    // Site index 3 and top 0x0102, then the value ends: everything after reads as zero.
    const std::uint8_t shortValue[] = {0x03, 0x00, 0x02, 0x01, 0x07};
    const auto record = unpackSettings(shortValue, sizeof shortValue);
    EXPECT_EQ(record.CurrentSite, 3);
    EXPECT_EQ(record.Top, 0x0102);
    EXPECT_EQ(record.Left, 7);
    EXPECT_EQ(record.Width, 0);
    EXPECT_EQ(record.SortColumn[0], 0);
    EXPECT_EQ(record.SortAscending[1], 0);
}

} // namespace
