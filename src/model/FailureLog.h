// The failure log "FTP-log.txt": the line written for each failed network operation, and the
// append that refuses to follow a link or write into a file that is not the user's own.
#pragma once

#include <ctime>
#include <stdexcept>
#include <string>

inline constexpr const char* kFailureLogName = "FTP-log.txt";

// A log that cannot be opened or written; deliberately not a network error.
class EFailureLogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Exception EIdSocketError in module tarn at 00000000. Socket Error # 10061  Connection
// refused.": a full stop added when the message lacks one, at most 512 characters, every line
// end a blank, blanks and control characters trimmed from both ends.
[[nodiscard]] std::string failureDetails(const std::string& className, const std::string& moduleName,
                           const std::string& message);

// "07/12/26 15:44:14  *CF* details" with CR LF.
[[nodiscard]] std::string failureLogLine(const std::tm& localTime, const std::string& placeCode,
                           const std::string& details);

// Appends `line` to the log at `path`, creating it with mode 0600. A link, anything but a
// regular file (a FIFO without waiting for a reader), or a file owned by another user is
// refused, so that nobody sharing the temporary folder can point the log at one of our files,
// read it, or hold the program.
void appendFailureLog(const std::string& path, const std::string& line);
