// Stored bytes into the window settings record: any value up to the record's size unpacks,
// and packing the result gives back those bytes followed by zeros.
#include "model/SettingsRecord.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TarnSettingsRecord record = unpackSettings(data, size);
    const TarnSettingsBytes packed = packSettings(record);
    const std::size_t kept = std::min(size, packed.size());
    if (!std::equal(data, data + kept, packed.begin()))
        std::abort();
    if (!std::all_of(packed.begin() + kept, packed.end(), [](std::uint8_t b) { return b == 0; }))
        std::abort();
    if (unpackSettings(packed.data(), packed.size()) != record)
        std::abort();
    return 0;
}
