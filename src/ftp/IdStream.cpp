// Byte streams of the connection classes.
#include "ftp/IdStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "net/IdException.h"

std::int64_t TIdMemoryStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t available = std::max<std::int64_t>(0, Size() - m_position);
    const std::int64_t n = std::min(count, available);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_data.data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

void TIdMemoryStream::Write(const void* data, std::int64_t count)
{
    if (count <= 0)
        return;
    if (m_position + count > Size())
        m_data.resize(static_cast<std::size_t>(m_position + count));
    std::memcpy(m_data.data() + m_position, data, static_cast<std::size_t>(count));
    m_position += count;
}

TIdFileStream::TIdFileStream(const std::string& path, Mode mode)
    : m_path(path), m_block(std::make_unique_for_overwrite<char[]>(kBlockSize))
{
    if (mode == Mode::CreateOnWrite)
        m_deferred = true;
    else
        openFile(mode);
}

void TIdFileStream::openFile(Mode mode)
{
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::OpenRead: flags |= O_RDONLY; break;
    case Mode::Create:
    case Mode::CreateOnWrite: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::OpenReadWrite: flags |= O_RDWR; break;
    }
    const bool creates = mode == Mode::Create || mode == Mode::CreateOnWrite;
    m_fd = ::open(m_path.c_str(), flags, 0644);
    if (m_fd < 0)
        fail(creates ? "Cannot create file" : "Cannot open file");
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        const int savedErrno = errno;
        ::close(m_fd);
        m_fd = -1;
        errno = savedErrno;
        fail("Cannot open file");
    }
    m_size = static_cast<std::int64_t>(info.st_size);
}

void TIdFileStream::Open()
{
    openIfDeferred();
}

void TIdFileStream::openIfDeferred()
{
    if (!m_deferred)
        return;
    m_deferred = false;
    openFile(Mode::CreateOnWrite);
}

TIdFileStream::~TIdFileStream()
{
    try {
        Close();
    } catch (...) {
        // a destructor cannot report; callers that care call Close()
    }
}

void TIdFileStream::fail(const char* what) const
{
    const int error = errno;
    throw EIdFileError(std::string(what) + " \"" + m_path + "\". " + std::strerror(error), error);
}

void TIdFileStream::requireOpen() const
{
    if (m_fd < 0)
        throw std::runtime_error("File \"" + m_path + "\" is closed.");
}

void TIdFileStream::writeAt(std::int64_t offset, const char* data, std::int64_t count)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(m_fd, data, static_cast<std::size_t>(count), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("Cannot write to file");
        data += n;
        offset += n;
        count -= n;
    }
}

std::int64_t TIdFileStream::readAt(std::int64_t offset, char* buffer, std::int64_t count)
{
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, static_cast<std::size_t>(count), offset);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            fail("Cannot read from file");
    }
}

void TIdFileStream::Flush()
{
    if (m_dirty > 0) {
        const std::int64_t dirty = m_dirty;
        m_dirty = 0;
        writeAt(m_blockStart, m_block.get(), dirty);
    }
}

void TIdFileStream::Close()
{
    m_deferred = false;
    if (m_fd < 0)
        return;
    Flush();
    // A failed close can mean written data never reached the disk (a network file system
    // reports write errors only here). The descriptor is gone either way.
    const int result = ::close(m_fd);
    m_fd = -1;
    if (result != 0 && errno != EINTR)
        fail("Cannot close file");
}

void TIdFileStream::Write(const void* data, std::int64_t count)
{
    if (count <= 0)
        return;
    openIfDeferred();
    requireOpen();
    m_readAhead = 0;
    const auto* bytes = static_cast<const char*>(data);
    if (m_dirty > 0 && (m_position != m_blockStart + m_dirty || m_dirty + count > kBlockSize))
        Flush();
    if (count >= kBlockSize) {
        writeAt(m_position, bytes, count);
    } else {
        if (m_dirty == 0)
            m_blockStart = m_position;
        std::memcpy(m_block.get() + m_dirty, bytes, static_cast<std::size_t>(count));
        m_dirty += count;
    }
    m_position += count;
    m_size = std::max(m_size, m_position);
}

std::int64_t TIdFileStream::Read(void* buffer, std::int64_t count)
{
    openIfDeferred();
    requireOpen();
    Flush();
    count = std::min(count, m_size - m_position);
    if (count <= 0)
        return 0;
    auto* out = static_cast<char*>(buffer);
    const bool inBlock = m_position >= m_blockStart && m_position < m_blockStart + m_readAhead;
    if (!inBlock) {
        if (count >= kBlockSize) {
            const std::int64_t n = readAt(m_position, out, count);
            m_position += n;
            return n;
        }
        m_blockStart = m_position;
        m_readAhead = readAt(m_position, m_block.get(), kBlockSize);
        if (m_readAhead == 0)
            return 0;
    }
    const std::int64_t offset = m_position - m_blockStart;
    const std::int64_t n = std::min(count, m_readAhead - offset);
    std::memcpy(out, m_block.get() + offset, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

void TIdFileStream::SetSize(std::int64_t size)
{
    openIfDeferred();
    requireOpen();
    Flush();
    m_readAhead = 0;
    if (::ftruncate(m_fd, size) != 0)
        fail("Cannot change the size of file");
    m_size = size;
}
