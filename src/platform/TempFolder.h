// The system's temporary folder, home of the failure log.
#pragma once

#include <string>

// The whole path (whatever its length) with a trailing '/', as file-system bytes.
std::string tempFolderPath();
