// Reading a text file into lines, whichever line ends it uses.
#pragma once

#include <string>
#include <vector>

// Splits at CR LF, CR or LF; the final line end is optional; empty lines stay as empty entries.
std::vector<std::string> splitTextLines(const std::string& text);
