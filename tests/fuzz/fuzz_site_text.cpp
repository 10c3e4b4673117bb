// Stored site texts: any scrambled text decodes without harm, any password survives scrambling,
// and any site name survives the escaping of settings key names.
#include "platform/Registry.h"
#include "sites/SiteUnit.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)DecodePassword(bytes);
    if (DecodePassword(EncodePassword(bytes)) != bytes)
        std::abort();
    (void)Registry::unescapeKeyName(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    // Key names are text: a name is what its bytes read as UTF-8.
    const std::string name =
        QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toUtf8().toStdString();
    if (Registry::unescapeKeyName(Registry::escapeKeyName(name)) != name)
        std::abort();
    return 0;
}
