// Splitting command-connection blocks into trace lines.
#include "model/TraceText.h"

std::vector<std::string> splitTraceData(std::string_view data)
{
    std::vector<std::string> lines;
    while (!data.empty()) {
        const std::size_t cr = data.find('\r');
        if (cr == std::string_view::npos) {
            lines.emplace_back(data);
            break;
        }
        lines.emplace_back(data.substr(0, cr));
        data.remove_prefix(cr + 1);
        if (!data.empty() && data.front() == '\n')
            data.remove_prefix(1);
    }
    return lines;
}

bool isPasswordCommand(std::string_view data)
{
    return data.substr(0, 4) == "PASS";
}
