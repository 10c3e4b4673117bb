// The failure log's line format and its safe append.
#include "model/FailureLog.h"

#include "ftp/IdGlobal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kMaxDetails = 512;

[[noreturn]] void refuse(const std::string& path, const std::string& reason)
{
    throw EFailureLogError("Cannot write the failure log " + path + ": " + reason);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::string openFailure(int error)
{
    switch (error) {
    case ELOOP: return "it is a link";
    case ENXIO: return "it is not a regular file";
    default: return std::strerror(error);
    }
}

void writeAll(int fd, const std::string& path, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            refuse(path, std::strerror(errno));
        written += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string failureDetails(const std::string& className, const std::string& moduleName,
                           const std::string& message)
{
    std::string text = "Exception " + className + " in module " + moduleName + " at 00000000.\n"
                       + message;
    if (!message.empty() && message.back() != '.')
        text += '.';
    text.resize(std::min(text.size(), kMaxDetails));
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return std::string(Trim(text));
}

std::string failureLogLine(const std::tm& localTime, const std::string& placeCode,
                           const std::string& details)
{
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d/%m/%y %H:%M:%S", &localTime);
    return std::string(stamp) + "  *" + placeCode + "* " + details + "\r\n";
}

void appendFailureLog(const std::string& path, const std::string& line)
{
    // O_NONBLOCK: a FIFO planted under the log's name must not hold the program in open()
    // waiting for a reader; it is refused below (or here, ENXIO, when nobody reads it).
    FileDescriptor fd(::open(path.c_str(),
                             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        refuse(path, openFailure(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        refuse(path, std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        refuse(path, "it is not a regular file");
    if (info.st_uid != ::geteuid())
        refuse(path, "it belongs to another user");
    writeAll(fd.get(), path, line);
    if (::close(fd.release()) != 0)
        refuse(path, std::strerror(errno));
}
