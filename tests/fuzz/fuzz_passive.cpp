// The text of a PASV answer into its parser: any text either gives an address with a usable
// port or raises one of the session's own errors.
#include "ftp/IdFTP.h"
#include "net/IdException.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const TIdPassiveAddress address = ParsePassiveReply(text);
        if (address.Port < 1 || address.Port > 65535)
            std::abort();
    } catch (const Exception&) {
    }
    return 0;
}
