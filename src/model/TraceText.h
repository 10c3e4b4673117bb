// Turning a block of the command connection into trace lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lines of a block: split at each CR, one LF right after it dropped. A LF that follows no
// CR stays inside its line, and a block ending without CR gives its rest as the last line.
// "220-a\r\n220 b\r\n" -> {"220-a", "220 b"}; "x\r\n\r\n" -> {"x", ""}.
[[nodiscard]] std::vector<std::string> splitTraceData(std::string_view data);

// A sent block that carries a password: it starts with "PASS" in capitals, as the session
// sends the command; the trace shows it masked.
[[nodiscard]] bool isPasswordCommand(std::string_view data);
inline constexpr const char* kMaskedPasswordCommand = "PASS ******\r\n";
