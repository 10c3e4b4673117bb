// Address texts into the IPv4 parser: an accepted text converts to the same four bytes every
// way, and the dotted text of those bytes reads back as them.
#include "net/IdException.h"
#include "net/IdStack.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TIdIPv4Parse parse = TIdStack::ParseIPv4(text);
    if (TIdStack::IsAddressText(text) != parse.Valid)
        std::abort();
    if (!parse.Valid) {
        try {
            (void)TIdStack::TextToAddress(text);
            std::abort();
        } catch (const EIdInvalidIPAddress&) {
        }
        return 0;
    }
    if (TIdStack::TextToAddress(text) != parse.Bytes)
        std::abort();
    const TIdIPv4Parse again = TIdStack::ParseIPv4(TIdStack::AddressToText(parse.Bytes));
    if (!again.Valid || again.Bytes != parse.Bytes)
        std::abort();
    return 0;
}
