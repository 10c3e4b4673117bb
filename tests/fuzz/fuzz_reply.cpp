// Reply bytes into the reply reader through a scripted transport: the same bytes arriving
// whole, or cut in two at any point, must give the same replies and end the same way.
#include "ScriptedIOHandler.h"

#include "ftp/IdTCPConnection.h"
#include "net/IdException.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Everything a reading gave: each reply's code and lines, then how the reading ended.
struct Reading {
    std::vector<int> codes;
    std::vector<std::vector<std::string>> texts;
    std::string ending;

    bool operator==(const Reading&) const = default;
};

constexpr int kMaxReplies = 64;

Reading readReplies(const std::vector<std::string>& blocks)
{
    auto handler = std::make_unique<ScriptedIOHandler>();
    for (const std::string& block : blocks)
        handler->AddBlock(block);
    handler->OpenTransport();
    TIdTCPConnection connection;
    connection.MaxLineLength = 256;
    connection.SetIOHandler(std::move(handler));
    Reading reading;
    try {
        for (int i = 0; i < kMaxReplies; ++i) {
            reading.codes.push_back(connection.ReadReply({}));
            reading.texts.push_back(connection.LastReply().Text());
        }
    } catch (const EIdException& error) {
        reading.ending = std::string(error.ClassName()) + ": " + error.what();
    }
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const Reading whole = readReplies({bytes});
    // Long inputs are cut at evenly spread points, so one input stays cheap.
    const std::size_t step = size / 256 + 1;
    for (std::size_t cut = 1; cut < size; cut += step) {
        if (!(readReplies({bytes.substr(0, cut), bytes.substr(cut)}) == whole))
            std::abort();
    }
    return 0;
}
